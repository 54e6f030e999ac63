// Ad exposure: how long ad units are on screen while the app is in front.
// Code outside the measurement library calls beginAdUnitExposure and
// endAdUnitExposure with an ad unit ID; the reporter logs one "_xu" event
// per ad unit and one "_xa" event for the time any ad unit was showing
// (origin "am", the screen's "_si", "_sc", "_sn", and "_xt" in ms) when an
// exposure ends, the screen changes, the session reporter's engagement
// timer fires or the app resigns active. Spans under a second are not
// logged. State lives in memory only, touched only on the reporter's
// serial queue: begin enqueues, every other entry waits.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Platform/Foundation/Value.h"

class MSRScreen;
namespace dispatch {
class Queue;
}

// Whether an event is an ad event: origin "am", or named "_xa" or "_xu".
bool MSRIsAdExposureEvent(const std::string& origin, const std::string& name);

class MSRAdExposureReporter {
 public:
  // At most this many ad units are tracked at once.
  static constexpr size_t kMaxAdUnits = 100;

  static const std::shared_ptr<MSRAdExposureReporter>& sharedInstance();
  MSRAdExposureReporter();
  ~MSRAdExposureReporter();
  MSRAdExposureReporter(const MSRAdExposureReporter&) = delete;
  MSRAdExposureReporter& operator=(const MSRAdExposureReporter&) = delete;

  // Any thread.
  void beginAdUnitExposure(const std::string& adUnitID);
  void endAdUnitExposure(const std::string& adUnitID);

  bool isReportingEnabled() const;
  void setReportingEnabled(bool enabled);

  // Logs what every tracked unit showed until now, with these screen
  // parameters, and measures on from now.
  void logExposureEventsWithScreenParameters(const ns::Dictionary& screenParameters);
  void handleScreenDidChangeFromScreen(const std::shared_ptr<const MSRScreen>& previous,
                                       const std::shared_ptr<const MSRScreen>& next);
  void handleEngagementTimer();
  void handleAppDidBecomeActive();
  void handleAppWillResignActiveWithScreen(const std::shared_ptr<const MSRScreen>& screen);

  // Seconds of uptime.
  static double currentTime();

 private:
  friend void MSRAdExposureReporterResetForTesting();
  // Runs the block on the queue, then logs the events it made, in order.
  void syncAndLog(const std::function<void()>& block);
  // Queue-side steps.
  void updateStartTimesOnSerialQueue(double time);
  void logExposureEventsOnSerialQueueWithEndTime(double endTime, const ns::Dictionary& screenParameters);
  void logAdExposureEventOnSerialQueueWithEndTime(double endTime, const ns::Dictionary& screenParameters);
  void logAdUnitExposureEventOnSerialQueueWithID(const std::string& adUnitID, double endTime,
                                                 const ns::Dictionary& screenParameters);

  std::shared_ptr<dispatch::Queue> queue_;
  std::map<std::string, int64_t> adUnitCounts_;
  std::map<std::string, double> adUnitStartTimes_;
  double adExposureStartTime_ = 0;
  bool reportingEnabled_ = true;
  // Made on the queue, logged once off it (name, parameters).
  std::vector<std::pair<std::string, ns::Dictionary>> pendingEvents_;
  int observer_ = 0;
};
