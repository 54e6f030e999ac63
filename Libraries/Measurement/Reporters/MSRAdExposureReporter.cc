#include "Libraries/Measurement/Reporters/MSRAdExposureReporter.h"

#include <cmath>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRMonitor.h"
#include "Libraries/Measurement/Core/MSRTimeSinceBoot.h"
#include "Libraries/Measurement/Reporters/MSRScreenViewReporter.h"
#include "Libraries/Measurement/Reporters/MSRSessionReporter.h"
#include "Libraries/Measurement/Reporters/testing/MSRAdExposureReporterTesting.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/NotificationCenter.h"

namespace {

std::shared_ptr<MSRMonitor> log() { return MSRMeasurement::monitor(); }

ns::Dictionary currentScreenParameters() { return MSRScreenViewReporter::sharedInstance()->screenParameters(); }

// Whole milliseconds, truncated, of a span of uptime. The span is rounded
// to the microsecond first: 1 s measured as the difference of two large
// uptimes (0.99999999 s) is 1000 ms, not 999.
int64_t millisecondsOf(double seconds) { return std::llround(seconds * 1e6) / 1000; }

}  // namespace

bool MSRIsAdExposureEvent(const std::string& origin, const std::string& name) {
  return origin == "am" || name == "_xa" || name == "_xu";
}

const std::shared_ptr<MSRAdExposureReporter>& MSRAdExposureReporter::sharedInstance() {
  static const auto* instance = new std::shared_ptr<MSRAdExposureReporter>(std::make_shared<MSRAdExposureReporter>());
  return *instance;
}

MSRAdExposureReporter::MSRAdExposureReporter()
    : queue_(dispatch::Queue::serial("MSRAdExposureReporter")), adExposureStartTime_(currentTime()) {
  ns::NotificationCenter::defaultCenter().addObserver(
      &observer_, [this](const ns::Notification&) { handleEngagementTimer(); },
      kMSRSessionReporterEngagementTimerDidFire, nullptr);
}

MSRAdExposureReporter::~MSRAdExposureReporter() { ns::NotificationCenter::defaultCenter().removeObserver(&observer_); }

double MSRAdExposureReporter::currentTime() { return MSRTimeSinceBoot(); }

bool MSRAdExposureReporter::isReportingEnabled() const {
  bool enabled = true;
  queue_->sync([&] { enabled = reportingEnabled_; });
  return enabled;
}

void MSRAdExposureReporter::setReportingEnabled(bool enabled) {
  queue_->sync([&] { reportingEnabled_ = enabled; });
}

void MSRAdExposureReporter::beginAdUnitExposure(const std::string& adUnitID) {
  if (adUnitID.empty()) {
    log()->logWithLevel(5, 1000, "Ignoring call to begin ad unit exposure. Received empty ad unit ID");
    return;
  }
  double time = currentTime();
  queue_->async([this, adUnitID, time] {
    // At the limit even a unit already tracked is not counted again.
    if (adUnitCounts_.size() >= kMaxAdUnits) {
      log()->logWithLevel(5, 1002, "Reached limit on ad units. Ignoring ad unit with ID", MSRLogContext(adUnitID));
      return;
    }
    if (adUnitCounts_.empty()) adExposureStartTime_ = time;
    if (!adUnitStartTimes_.contains(adUnitID)) adUnitStartTimes_[adUnitID] = time;
    ++adUnitCounts_[adUnitID];
  });
}

void MSRAdExposureReporter::endAdUnitExposure(const std::string& adUnitID) {
  if (adUnitID.empty()) {
    log()->logWithLevel(5, 1003, "Ignoring call to end ad unit exposure. Received empty ad unit ID");
    return;
  }
  double time = currentTime();
  ns::Dictionary screenParameters = currentScreenParameters();
  syncAndLog([&] {
    auto count = adUnitCounts_.find(adUnitID);
    if (count == adUnitCounts_.end()) {
      log()->logWithLevel(5, 1004, "Unknown ad unit. Ignoring ad unit with ID", MSRLogContext(adUnitID));
      return;
    }
    if (count->second >= 2) {
      --count->second;
      return;
    }
    logAdUnitExposureEventOnSerialQueueWithID(adUnitID, time, screenParameters);
    adUnitCounts_.erase(count);
    adUnitStartTimes_.erase(adUnitID);
    if (adUnitCounts_.empty()) {
      logAdExposureEventOnSerialQueueWithEndTime(time, screenParameters);
      adExposureStartTime_ = time;
    }
  });
}

void MSRAdExposureReporter::logExposureEventsWithScreenParameters(const ns::Dictionary& screenParameters) {
  double time = currentTime();
  syncAndLog([&] { logExposureEventsOnSerialQueueWithEndTime(time, screenParameters); });
}

void MSRAdExposureReporter::handleScreenDidChangeFromScreen(const std::shared_ptr<const MSRScreen>& previous,
                                                            const std::shared_ptr<const MSRScreen>&) {
  if (!previous) return;
  logExposureEventsWithScreenParameters(MSRScreenParametersOf(*previous));
}

void MSRAdExposureReporter::handleEngagementTimer() { logExposureEventsWithScreenParameters(currentScreenParameters()); }

void MSRAdExposureReporter::handleAppDidBecomeActive() {
  double time = currentTime();
  // Time in the background does not count.
  queue_->sync([&] { updateStartTimesOnSerialQueue(time); });
}

void MSRAdExposureReporter::handleAppWillResignActiveWithScreen(const std::shared_ptr<const MSRScreen>& screen) {
  ns::Dictionary screenParameters;
  if (screen) screenParameters = MSRScreenParametersOf(*screen);
  if (screenParameters.empty()) screenParameters = currentScreenParameters();
  logExposureEventsWithScreenParameters(screenParameters);
}

void MSRAdExposureReporter::syncAndLog(const std::function<void()>& block) {
  std::vector<std::pair<std::string, ns::Dictionary>> events;
  queue_->sync([&] {
    block();
    events.swap(pendingEvents_);
  });
  // Logged off the queue: an event without screen parameters asks the
  // screen-view reporter for them, whose queue may itself be waiting on
  // this one with a screen change.
  for (auto& [name, parameters] : events) MSRAnalytics::logInternalEventWithOrigin("am", name, parameters);
}

void MSRAdExposureReporter::updateStartTimesOnSerialQueue(double time) {
  if (adUnitCounts_.empty()) return;
  for (auto& [id, start] : adUnitStartTimes_) start = time;
  adExposureStartTime_ = time;
}

void MSRAdExposureReporter::logExposureEventsOnSerialQueueWithEndTime(double endTime,
                                                                      const ns::Dictionary& screenParameters) {
  for (const auto& [id, count] : adUnitCounts_) logAdUnitExposureEventOnSerialQueueWithID(id, endTime, screenParameters);
  if (!adUnitCounts_.empty()) logAdExposureEventOnSerialQueueWithEndTime(endTime, screenParameters);
  // Counts stay: exposure goes on being measured from here.
  updateStartTimesOnSerialQueue(endTime);
}

void MSRAdExposureReporter::logAdExposureEventOnSerialQueueWithEndTime(double endTime,
                                                                       const ns::Dictionary& screenParameters) {
  if (!reportingEnabled_) {
    log()->logWithLevel(5, 1005, "Ad exposure not logged. Reporting is disabled.");
    return;
  }
  if (!MSRIsAppActive()) {
    log()->logWithLevel(8, 1010, "Ad exposure not logged. App is not active.");
    return;
  }
  int64_t exposure = millisecondsOf(endTime - adExposureStartTime_);
  if (exposure <= 999) {
    log()->logWithLevel(8, 1006, "Ad exposure not logged. Exposure time was less than 1 sec");
    return;
  }
  ns::Dictionary parameters = screenParameters;
  parameters.set("_xt", exposure);
  pendingEvents_.emplace_back("_xa", std::move(parameters));
}

void MSRAdExposureReporter::logAdUnitExposureEventOnSerialQueueWithID(const std::string& adUnitID, double endTime,
                                                                      const ns::Dictionary& screenParameters) {
  if (!reportingEnabled_) {
    log()->logWithLevel(5, 1007, "Ad unit exposure not logged. Reporting is disabled.");
    return;
  }
  if (adUnitID.empty()) {
    log()->logWithLevel(5, 1008, "Ad unit exposure not logged. Received empty ad unit ID");
    return;
  }
  if (!MSRIsAppActive()) {
    log()->logWithLevel(8, 1011, "Ad unit exposure not logged. App is not active.");
    return;
  }
  auto start = adUnitStartTimes_.find(adUnitID);
  int64_t exposure = start == adUnitStartTimes_.end() ? 0 : millisecondsOf(endTime - start->second);
  if (exposure <= 999) {
    log()->logWithLevel(8, 1009, "Ad unit exposure not logged. Exposure time was less than 1 sec");
    return;
  }
  ns::Dictionary parameters = screenParameters;
  parameters.set("_ai", adUnitID);
  parameters.set("_xt", exposure);
  pendingEvents_.emplace_back("_xu", std::move(parameters));
}

void MSRAdExposureReporterResetForTesting() {
  auto& reporter = *MSRAdExposureReporter::sharedInstance();
  double time = MSRAdExposureReporter::currentTime();
  reporter.queue_->sync([&] {
    reporter.adUnitCounts_.clear();
    reporter.adUnitStartTimes_.clear();
    reporter.pendingEvents_.clear();
    reporter.adExposureStartTime_ = time;
    reporter.reportingEnabled_ = true;
  });
}
