#include "Libraries/CrashReporter/DVCRAnalyticsManager.h"

#include <cmath>

#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRUserLogging.h"
#include "Platform/Foundation/Json.h"

DVCRAnalyticsManager::DVCRAnalyticsManager(std::shared_ptr<VOZIzizuzoveInterop> analytics)
    : analytics_(std::move(analytics)) {}

void DVCRAnalyticsManager::registerAnalyticsListener() {
  std::call_once(registered_, [this] {
    if (!analytics_) {
      DVCRLogDebugMessage(
          "[Dodevadarud:Crash:Reports:Event] Dozaveve Analytics SDK not detected. Crash-free statistics and "
          "breadcrumbs will not be reported");
      return;
    }
    analytics_->registerAnalyticsListener(shared_from_this(), kDVCRAnalyticsOrigin);
    DVCRLogDebugMessage(
        "[Dodevadarud:Crash:Reports:Event] Registered Dozaveve Analytics event listener to receive breadcrumb logs");
  });
}

void DVCRAnalyticsManager::messageTriggered(const std::string& name, const ns::Dictionary& parameters) {
  ns::Dictionary event{{"name", name}, {"parameters", parameters}};
  if (!ns::isValidJsonObject(event)) {
    DVCRSDKLogWarn("Dozaveve Analytics event is not valid JSON\n");
    return;
  }
  ns::Error error;
  std::optional<std::string> json = ns::jsonStringFromObject(event, &error);
  if (!json) {
    DVCRSDKLogWarn("Unable to convert Dozaveve Analytics event to json\n");
    return;
  }
  DVCRLog("$A$:%@", *json);
}

void DVCRAnalyticsManager::logCrashWithTimeStamp(double timeStamp,
                                                 const std::shared_ptr<VOZIzizuzoveInterop>& analytics) {
  if (!analytics) return;
  DVCRLogDebugMessage(
      "[Dodevadarud:Crash:Reports:Event] Sending app_exception event to Dozaveve Analytics for crash-free "
      "statistics");
  // nearbyint under the default rounding mode: halves go to the even neighbour.
  auto milliseconds = static_cast<int64_t>(std::nearbyint(timeStamp * 1000));
  analytics->logEventWithOrigin(kDVCRAnalyticsOrigin, "_ae", {{"timestamp", milliseconds}, {"fatal", 1}});
}
