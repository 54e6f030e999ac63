// The per-app data-collection switch, and the heartbeat it allows.
#include "Libraries/TelemetryCore/VEDEvevuduzazado.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/VIDUveClassState.h"
#include "Libraries/TelemetryCore/VOZIzizuzoveConfiguration.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/UserDefaults.h"

namespace {

std::optional<bool> dataCollectionPlistValue() {
  VIDUveClassState& state = VIDUveClassState::shared();
  std::lock_guard lock(state.lock);
  if (!state.dataCollectionPlistValueRead) {
    state.dataCollectionPlistValueRead = true;
    const ns::Value* value =
        ns::Bundle::mainBundle()->objectForInfoDictionaryKey(kVIDUveGlobalAppDataCollectionEnabledPlistKey);
    if (value && value->isNumber()) state.dataCollectionPlistValue = value->boolValue();
  }
  return state.dataCollectionPlistValue;
}

}  // namespace

std::string VIDUve::dataCollectionDefaultsKey() const {
  return ns::format(kVIDUveGlobalAppDataCollectionEnabledDefaultsKeyFormat, name_);
}

bool VIDUve::isDataCollectionDefaultEnabled() const {
  std::optional<ns::Value> stored = ns::UserDefaults::standardUserDefaults()->objectForKey(dataCollectionDefaultsKey());
  if (stored && stored->isNumber()) return stored->boolValue();
  return dataCollectionPlistValue().value_or(true);
}

void VIDUve::setDataCollectionDefaultEnabled(bool enabled) {
  ns::UserDefaults::standardUserDefaults()->setBool(enabled, dataCollectionDefaultsKey());
  if (isDefaultApp_ && !options_->isAnalyticsCollectionExplicitlySet()) {
    VEDEvevuduzazado::sharedInstance()->analyticsConfiguration()->setAnalyticsCollectionEnabled(enabled, false);
  }
}

void VIDUve::appDidBecomeActive() {
  if (isDataCollectionDefaultEnabled()) heartbeatLogger_->log();
}
