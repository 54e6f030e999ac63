// Measurement sessions and engagement: when a session starts ("_s", with
// the internal user properties "_sid" and "_sno") and expires, and how long
// the app was in front ("_e" with "_et" in milliseconds, "_ab" when it goes
// to the background). The engine makes one over its persisted configuration
// and asks it on the worker queue whether the session expired and to extend
// it; the screen-view reporter hands it the app's lifecycle and screen
// changes on the main thread. An engagement timer ("Engagement timer", main
// queue) reports engagement while the app stays in front.
//
// A screen view logged directly reaches the screen-change handler from the
// screen reporter's queue, so the start uptimes are atomics and the alarm
// is safe from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

class MSRAlarm;
class MSRPersistedConfig;
class MSRScreen;
class MSRUserAttribute;

inline constexpr const char* kMSRSessionReporterEngagementTimerDidFire = "kMSRSessionReporterEngagementTimerDidFire";

class MSRSessionReporter : public std::enable_shared_from_this<MSRSessionReporter> {
 public:
  static std::shared_ptr<MSRSessionReporter> initWithPersistedConfig(std::shared_ptr<MSRPersistedConfig> persistedConfig);
  virtual ~MSRSessionReporter();

  // The absolute difference between now and the last activity exceeds the
  // time-out, so a clock set back also ends the session.
  virtual bool isSessionExpired() const;
  // Moves the last activity to now unless the session has expired; whether
  // it did.
  virtual bool extendSession();

  bool shouldStartNewSession() const;
  bool isReportingEnabled() const { return reportingEnabled_.load(); }
  void setReportingEnabled(bool enabled);
  double timeoutSessionInterval() const { return timeoutSessionInterval_.load(); }
  // Negative: 33001 and 0.
  void setTimeoutSessionInterval(double seconds);

  std::shared_ptr<MSRUserAttribute> sessionIDPropertyWithTimestamp(double timestamp) const;
  std::shared_ptr<MSRUserAttribute> sessionNumberProperty() const;
  void updatePropertiesForNewSessionStart();
  void setSessionID(std::optional<int64_t> sessionID, std::optional<int64_t> sessionNumber);

  void logSessionStartEvent();
  int64_t logUserEngagementEvent();
  int64_t logEngagementEventAndReturnTimeWithScreen(const std::shared_ptr<const MSRScreen>& screen, bool isRedundant);
  void logAppBackgroundEvent(int64_t milliseconds);

  // Main thread (the screen change also from the screen reporter's queue).
  void handleAppDidBecomeActive();
  void handleAppWillResignActiveWithScreen(const std::shared_ptr<const MSRScreen>& screen);
  void handleScreenDidChangeFromScreen(const std::shared_ptr<const MSRScreen>& previous,
                                       const std::shared_ptr<const MSRScreen>& next);

  void rescheduleUserEngagementTimer();
  const std::shared_ptr<MSRAlarm>& userEngagementTimer() const { return userEngagementTimer_; }
  static double currentUptime();
  static double currentClockTime();
  double incurredEngagementTime() const;
  int64_t cutFreerideEngagementTimeMillis();

  const std::shared_ptr<MSRPersistedConfig>& persistedConfig() const { return persistedConfig_; }

 protected:
  explicit MSRSessionReporter(std::shared_ptr<MSRPersistedConfig> persistedConfig);

 private:
  std::shared_ptr<MSRPersistedConfig> persistedConfig_;
  std::shared_ptr<MSRAlarm> userEngagementTimer_;
  std::atomic<double> engagementStartUptime_;
  std::atomic<double> freerideEngagementStartUptime_;
  std::atomic<bool> reportingEnabled_{true};
  std::atomic<double> timeoutSessionInterval_;
};
