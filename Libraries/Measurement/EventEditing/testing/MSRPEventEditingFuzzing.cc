#include "Libraries/Measurement/EventEditing/testing/MSRPEventEditingFuzzing.h"

#include <cstdlib>

#include "Libraries/Measurement/EventEditing/MSRPEventEditing.h"
#include "Libraries/Measurement/EventEditing/MSRPKeyValueStore.h"
#include "Libraries/Measurement/EventEditing/MSRPMessageLogger.h"
#include "Libraries/Measurement/EventEditing/MSRPObjectProvider.h"
#include "Libraries/WireMessages/MSRPBConfigurationMessages.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace {

// Keeps nothing: the monitor is no part of what is fuzzed.
class DiscardingLogger final : public MSRPLoggerDelegate {
 public:
  void logWithLevel(int64_t, const std::string&, const std::vector<std::string>&, bool, bool) override {}
};

// The field index of "dynamic_event_editing".
constexpr int32_t kConfigPrograms = 8;

std::shared_ptr<MSRPBProgram> programOf(const uint8_t* data, size_t size) {
  ns::Data bytes(data, data + size);
  if (auto program = MSRPBProgram::initWithBuffer(bytes)) return program;
  auto config = MSRPBMeasurementConfig::initWithBuffer(bytes);
  if (!config) return nullptr;
  auto programs = MSRPBMessageGetArray<MSRPBProgram>(config.get(), kConfigPrograms);
  if (!programs || programs->empty()) return nullptr;
  return MSRPBArrayElementMessage<MSRPBProgram>(programs->front());
}

void checkLiveSize(const MSRPEventEditing& engine) {
  if (engine.liveSize() > MSRPLiveSizeCap) std::abort();
}

}  // namespace

bool MSRPEventEditingFuzzOneInput(const uint8_t* data, size_t size) {
  std::shared_ptr<MSRPBProgram> program = programOf(data, size);
  if (!program) return false;
  MSRPEventEditing engine;
  engine.setModuleCreator(
      [] {
        return std::make_shared<MSRPKeyValueStore>("internal.remoteConfig",
                                                   [](const std::string& key) -> std::optional<std::string> {
                                                     if (key.empty()) return std::nullopt;
                                                     return key + "_value";
                                                   });
      },
      u"internal.remoteConfig");
  engine.setModuleCreator(
      [] {
        return std::make_shared<MSRPObjectProvider>("internal.appMetadata", [] {
          return std::optional<ns::Value>(ns::Dictionary{{"platform", "ios"}, {"zmp_version", 101600}});
        });
      },
      u"internal.appMetadata");
  engine.setModuleCreator([] { return std::make_shared<MSRPMessageLogger>(std::make_shared<DiscardingLogger>()); },
                          u"internal.logger");
  ns::Error error;
  engine.loadProgram(*program, error);
  checkLiveSize(engine);
  if (!error.domain().empty()) return false;
  const MSRPEvent events[] = {
      MSRPEvent("purchase", 1, ns::Dictionary{{"value", 9.5}, {"currency", "EUR"}, {"user_email", "a@b.c"}}),
      MSRPEvent("screen_view", 2, ns::Dictionary{{"screen", "  Notes  "}, {"count", 3}}),
      MSRPEvent("e", 3, {}),
  };
  for (const MSRPEvent& event : events) {
    ns::Error eventError;
    engine.handleEvent(event, eventError);
    checkLiveSize(engine);
  }
  return true;
}
