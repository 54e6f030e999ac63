#include "Libraries/CrashReporter/DVCRRecordModels.h"

namespace {

DVCRRecordField fieldOf(const ns::Dictionary& dictionary, const char* key) {
  const ns::Value* value = dictionary.find(key);
  return value ? DVCRRecordField(*value) : std::nullopt;
}

}  // namespace

DVCRRecordIdentity::DVCRRecordIdentity(const ns::Dictionary& dictionary)
    : build_version(fieldOf(dictionary, "build_version")),
      app_vitals_session_id(fieldOf(dictionary, "app_vitals_session_id")) {}

DVCRRecordHost::DVCRRecordHost(const ns::Dictionary& dictionary) : platform(fieldOf(dictionary, "platform")) {}

DVCRRecordApplication::DVCRRecordApplication(const ns::Dictionary& dictionary)
    : display_version(fieldOf(dictionary, "display_version")), build_version(fieldOf(dictionary, "build_version")) {}
