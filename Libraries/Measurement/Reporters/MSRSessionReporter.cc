#include "Libraries/Measurement/Reporters/MSRSessionReporter.h"

#include <algorithm>
#include <cmath>

#include "Libraries/Measurement/Core/MSRAlarm.h"
#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRMonitor.h"
#include "Libraries/Measurement/Core/MSRTimeSinceBoot.h"
#include "Libraries/Measurement/Core/MSRUserAttribute.h"
#include "Libraries/Measurement/Core/MSRValue.h"
#include "Libraries/Measurement/Reporters/MSRScreenViewReporter.h"
#include "Libraries/Measurement/Storage/MSRPersistedConfig.h"
#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/NotificationCenter.h"

namespace {

constexpr double kMaxEngagementSeconds = 3600.0;

std::shared_ptr<MSRRemoteConfig> config() { return MSRMeasurement::remoteConfig(); }

// Whole milliseconds, truncated, of a span of uptime. Uptime is read to the
// microsecond; the span is rounded to that first, so that 5 s measured as
// the difference of two large uptimes (4.99999999 s) is 5000 ms, not 4999.
int64_t millisecondsOf(double seconds) { return std::llround(seconds * 1e6) / 1000; }

}  // namespace

std::shared_ptr<MSRSessionReporter> MSRSessionReporter::initWithPersistedConfig(
    std::shared_ptr<MSRPersistedConfig> persistedConfig) {
  return std::shared_ptr<MSRSessionReporter>(new MSRSessionReporter(std::move(persistedConfig)));
}

MSRSessionReporter::MSRSessionReporter(std::shared_ptr<MSRPersistedConfig> persistedConfig)
    : persistedConfig_(std::move(persistedConfig)),
      userEngagementTimer_(MSRAlarm::initWithDispatchQueue(dispatch::Queue::main(), "Engagement timer")),
      engagementStartUptime_(currentUptime()),
      freerideEngagementStartUptime_(engagementStartUptime_.load()),
      timeoutSessionInterval_(config()->sessionDefaultTimeoutInterval()) {}

MSRSessionReporter::~MSRSessionReporter() { userEngagementTimer_->cancel(); }

double MSRSessionReporter::currentUptime() { return MSRTimeSinceBoot(); }

double MSRSessionReporter::currentClockTime() { return ns::Clock::now().timeIntervalSince1970(); }

void MSRSessionReporter::setReportingEnabled(bool enabled) {
  reportingEnabled_ = enabled;
  if (!enabled) {
    userEngagementTimer_->cancel();
  } else if (MSRIsAppActive() && !userEngagementTimer_->scheduledTimestamp()) {
    rescheduleUserEngagementTimer();
  }
}

void MSRSessionReporter::setTimeoutSessionInterval(double seconds) {
  if (seconds < 0) {
    MSRMeasurement::monitor()->logWithLevel(3, 33001,
                                            "Received negative timeout session duration. Setting to 0.0 instead.");
    seconds = 0;
  }
  timeoutSessionInterval_ = seconds;
}

bool MSRSessionReporter::shouldStartNewSession() const { return MSRIsAppActive() && isSessionExpired(); }

bool MSRSessionReporter::isSessionExpired() const {
  if (!persistedConfig_) return false;
  double last = persistedConfig_->lastSessionActivityClockTime();
  return std::fabs(currentClockTime() - last) > timeoutSessionInterval_.load();
}

bool MSRSessionReporter::extendSession() {
  if (isSessionExpired()) return false;
  if (persistedConfig_) persistedConfig_->setLastSessionActivityClockTime(currentClockTime());
  return true;
}

std::shared_ptr<MSRUserAttribute> MSRSessionReporter::sessionIDPropertyWithTimestamp(double timestamp) const {
  return MSRUserAttribute::initWithOrigin("auto", "_sid", MSRValue::initWithInt64(static_cast<int64_t>(timestamp)),
                                          timestamp);
}

std::shared_ptr<MSRUserAttribute> MSRSessionReporter::sessionNumberProperty() const {
  return MSRUserAttribute::initWithOrigin("auto", "_sno", MSRValue::initWithInt64(persistedConfig_->sessionNumber()),
                                          currentClockTime());
}

void MSRSessionReporter::updatePropertiesForNewSessionStart() {
  persistedConfig_->setSessionNumber(persistedConfig_->sessionNumber() + 1);
  persistedConfig_->setLastSessionActivityClockTime(currentClockTime());
}

void MSRSessionReporter::setSessionID(std::optional<int64_t> sessionID, std::optional<int64_t> sessionNumber) {
  auto value = [](std::optional<int64_t> v) { return v ? std::optional<ns::Value>(*v) : std::nullopt; };
  MSRAnalytics::setInternalUserProperty(value(sessionID), "_sid", "auto");
  MSRAnalytics::setInternalUserProperty(value(sessionNumber), "_sno", "auto");
}

double MSRSessionReporter::incurredEngagementTime() const {
  double start = config()->efficientEngagementReportingEnabled() ? freerideEngagementStartUptime_.load()
                                                                  : engagementStartUptime_.load();
  double incurred = currentUptime() - start;
  if (incurred < 0) {
    MSRMeasurement::monitor()->logWithLevel(4, 33004, "Incurred engagement time is negative. Setting to 0.0 instead");
    return 0;
  }
  return incurred;
}

void MSRSessionReporter::logSessionStartEvent() {
  if (!MSRIsAppActive()) {
    MSRMeasurement::monitor()->logWithLevel(7, 33005, "Session start event not logged. Application is not active");
    return;
  }
  if (!isReportingEnabled()) return;
  updatePropertiesForNewSessionStart();
  int64_t sessionID = static_cast<int64_t>(currentClockTime());
  int64_t sessionNumber = persistedConfig_->sessionNumber();
  setSessionID(sessionID, sessionNumber);
  MSRAnalytics::logInternalEventWithOrigin("auto", "_s", ns::Dictionary{{"_sid", sessionID}, {"_sno", sessionNumber}});
}

void MSRSessionReporter::handleAppDidBecomeActive() {
  double now = currentUptime();
  engagementStartUptime_ = now;
  freerideEngagementStartUptime_ = now;
  rescheduleUserEngagementTimer();
  if (shouldStartNewSession() && isReportingEnabled()) {
    setSessionID(std::nullopt, std::nullopt);
    logSessionStartEvent();
  }
}

int64_t MSRSessionReporter::logUserEngagementEvent() { return logEngagementEventAndReturnTimeWithScreen(nullptr, false); }

int64_t MSRSessionReporter::logEngagementEventAndReturnTimeWithScreen(const std::shared_ptr<const MSRScreen>& screen,
                                                                        bool isRedundant) {
  if (!MSRIsAppActive()) {
    MSRMeasurement::monitor()->logWithLevel(7, 33006, "User engagement event not logged. Application is not active");
    return 0;
  }
  bool efficient = config()->efficientEngagementReportingEnabled();
  int64_t milliseconds = 0;
  if (isReportingEnabled()) {
    milliseconds = millisecondsOf(std::min(incurredEngagementTime(), kMaxEngagementSeconds));
    ns::Dictionary parameters{{"_et", milliseconds}};
    if (screen) {
      for (const auto& key : MSRScreenParametersOf(*screen).keys())
        parameters.set(key, *MSRScreenParametersOf(*screen).find(key));
    }
    if (efficient && isRedundant) parameters.set("_fr", 1);
    MSRAnalytics::logInternalEventWithOrigin("auto", "_e", parameters);
  }
  double now = currentUptime();
  engagementStartUptime_ = now;
  if (efficient && !isRedundant) freerideEngagementStartUptime_ = now;
  if (persistedConfig_) persistedConfig_->setLastSessionActivityClockTime(currentClockTime());
  rescheduleUserEngagementTimer();
  return milliseconds;
}

void MSRSessionReporter::rescheduleUserEngagementTimer() {
  std::weak_ptr<MSRSessionReporter> weak = weak_from_this();
  userEngagementTimer_->runAfterDelay(config()->sessionEventUserEngagementInterval(), [weak] {
    ns::NotificationCenter::defaultCenter().post(kMSRSessionReporterEngagementTimerDidFire);
    if (auto self = weak.lock()) self->logUserEngagementEvent();
  });
}

void MSRSessionReporter::handleAppWillResignActiveWithScreen(const std::shared_ptr<const MSRScreen>& screen) {
  auto remote = config();
  bool background = remote->appBackgroundedEventEnabled();
  bool redundantRemoval = background && remote->redundantEngagementRemovalEnabled();
  int64_t milliseconds = redundantRemoval ? cutFreerideEngagementTimeMillis()
                                          : logEngagementEventAndReturnTimeWithScreen(screen, background);
  logAppBackgroundEvent(milliseconds);
  userEngagementTimer_->cancel();
}

int64_t MSRSessionReporter::cutFreerideEngagementTimeMillis() {
  if (!config()->efficientEngagementReportingEnabled()) return 0;
  int64_t milliseconds = millisecondsOf(incurredEngagementTime());
  freerideEngagementStartUptime_ = currentUptime();
  return milliseconds;
}

void MSRSessionReporter::logAppBackgroundEvent(int64_t milliseconds) {
  auto remote = config();
  if (!isReportingEnabled() || !remote->appBackgroundedEventEnabled()) return;
  if (!MSRIsAppActive()) {
    MSRMeasurement::monitor()->logWithLevel(7, 33008, "App backgrounded event not logged. Application is not active");
    return;
  }
  ns::Dictionary parameters;
  if (remote->efficientEngagementReportingEnabled() && milliseconds >= 1) parameters.set("_et", milliseconds);
  MSRAnalytics::logInternalEventWithOrigin("auto", "_ab", parameters);
}

void MSRSessionReporter::handleScreenDidChangeFromScreen(const std::shared_ptr<const MSRScreen>& previous,
                                                         const std::shared_ptr<const MSRScreen>&) {
  if (!previous || incurredEngagementTime() < 1.0) return;
  auto remote = config();
  bool efficient = remote->efficientEngagementReportingEnabled();
  if (efficient && remote->redundantEngagementRemovalEnabled()) return;
  logEngagementEventAndReturnTimeWithScreen(previous, efficient);
}
