#include "Libraries/Measurement/Core/MSRIdentity.h"

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/StringUtf16.h"
#include "Platform/Foundation/Uuid.h"

namespace {

constexpr const char* kLibraryVersion = "101600000";

}  // namespace

int64_t MSRIdentity::dudUziroruvozaLibraryVersion() {
  std::string version = kLibraryVersion;
  if (version.size() < 4) return 0;
  return std::stoll(version.substr(0, version.size() - 3));
}

std::shared_ptr<MSRIdentity> MSRIdentity::sharedInstance() {
  static const std::shared_ptr<MSRIdentity> instance = initWithPersistedConfig(MSRPersistedConfig::sharedInstance());
  if (!instance) MSRMeasurement::monitor()->logWithLevel(2, 20003, "Identity's shared instance is nil");
  return instance;
}

std::shared_ptr<MSRIdentity> MSRIdentity::initWithPersistedConfig(std::shared_ptr<MSRPersistedConfig> persistedConfig) {
  if (!persistedConfig) {
    MSRMeasurement::monitor()->logWithLevel(
        2, 20004, "Unable to create measurement identity, missing a valid persisted config instance");
    return nullptr;
  }
  return std::shared_ptr<MSRIdentity>(new MSRIdentity(std::move(persistedConfig)));
}

MSRIdentity::MSRIdentity(std::shared_ptr<MSRPersistedConfig> persistedConfig)
    : persistedConfig_(std::move(persistedConfig)) {
  auto bundle = ns::Bundle::mainBundle();
  const ns::Value* version = bundle ? bundle->objectForInfoDictionaryKey(ns::Bundle::kShortVersionStringKey) : nullptr;
  if (version && version->asString()) appVersion_ = *version->asString();
}

std::string MSRIdentity::randomAppInstanceID() {
  std::string text = ns::Uuid::random().uuidString();
  std::erase(text, '-');
  return text;
}

std::string MSRIdentity::diversionKey() {
  std::lock_guard lock(diversionKeyMutex_);
  // Counted in characters as the platform counts them: a stored key of
  // other length (or none) is replaced.
  std::optional<std::string> stored = persistedConfig_->diversionKey();
  if (stored && ns::utf16Length(*stored) == 5) return *stored;
  std::string key = randomAppInstanceID().substr(0, 5);
  persistedConfig_->setDiversionKey(key);
  return key;
}
