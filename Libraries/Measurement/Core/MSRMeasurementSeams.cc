// Steps of the engine that other parts build: sessions, first open and
// updates, user data, deep links and the start-up consent. Until then each
// does nothing; the URL entry already refuses the worker queue, and the
// browsing-activity rule is whole because the app delegate's interceptor
// needs it today.
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Platform/Dispatch/Queue.h"

void MSRMeasurement::setSessionTimeoutInterval(double) {}

void MSRMeasurement::setUserData(const ns::Dictionary&) {}

void MSRMeasurement::handleNonFirstOpenEventURL(const std::string&, double) {
  if (dispatch::Queue::currentLabel() == scheduler_->workerQueue()->label()) {
    monitor()->logWithLevel(2, 23163, "Do not call handleNonFirstOpenOpenURL on the measurement worker queue");
  }
}

void MSRMeasurement::reportFirstOpenOnWorkerQueue() {}
void MSRMeasurement::reportAppUpdateOnWorkerQueue() {}
void MSRMeasurement::reportOSUpdateOnWorkerQueue() {}
void MSRMeasurement::backfillSessionNumber() {}
void MSRMeasurement::checkPSMDependencyOnWorkerQueue() {}
void MSRMeasurement::maybeDeleteExpiredPSMValueOnWorkerQueue() {}
void MSRMeasurement::setProspectiveConsentSettings() {}

std::optional<std::string> MSRMeasurement::deepLinkFromUserActivity(const ui::UserActivity* activity) {
  auto log = monitor();
  if (!activity) {
    log->logWithLevel(7, 23003, "User Activity is empty. User Activity");
    return std::nullopt;
  }
  if (activity->activityType == "NSUserActivityTypeBrowsingWeb" && !activity->webpageURL.empty()) {
    return activity->webpageURL;
  }
  log->logWithLevel(3, 23006, "User Activity does not have Deep Link. User Activity",
                    MSRLogContext(activity->activityType));
  return std::nullopt;
}
