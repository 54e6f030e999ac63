// When the engine uploads: the next upload time from the stored data and
// the upload history, the upload timer, and the app's lifecycle and
// reachability, which re-run the schedule or start an upload.
#include <cmath>
#include <limits>

#include "Libraries/Measurement/Core/MSRAEU.h"
#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRTimeSinceBoot.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Application.h"

namespace {

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
constexpr double kSuspensionSeconds = 3600;
constexpr double kBlocklistConfigAge = 604800;

double now() { return ns::Clock::now().timeIntervalSince1970(); }

// The engine's own configuration; the built-in one until it has one.
std::shared_ptr<MSRRemoteConfig> engineConfig(const MSRMeasurement& engine) {
  auto config = engine.remoteConfigInstance();
  return config ? config : MSRRemoteConfig::defaultInstance();
}

// The network client holds its reachability listener weakly; this one
// forwards to the engine without keeping it alive.
class ReachabilityListener : public ZULNetworkReachabilityDelegate {
 public:
  explicit ReachabilityListener(std::weak_ptr<MSRMeasurement> engine) : engine_(std::move(engine)) {}
  void reachabilityDidChange() override {
    auto engine = engine_.lock();
    if (!engine) return;
    std::weak_ptr<MSRMeasurement> weak = engine;
    engine->scheduler()->scheduleOnWorkerQueueBlockID("MSRMeasurement:1036", [weak] {
      if (auto strong = weak.lock()) {
        strong->updateSchedule();
        strong->maybeFetchSKANCVAfterReachabilityChange();
      }
    });
  }

 private:
  std::weak_ptr<MSRMeasurement> engine_;
};

}  // namespace

bool MSRMeasurement::hasDataToUpload() {
  auto database = this->database();
  if (!database) return false;
  ns::Error error;
  auto queueEmpty = database->isQueuedBundleTableEmpty(&error);
  if (!queueEmpty) {
    monitor()->logWithLevel(1, 23117, "Failed to check if queue table is empty. Error", MSRLogContext(error));
    return false;
  }
  if (!*queueEmpty) return true;
  auto rawEmpty = database->isRawEventsTableEmpty(&error);
  if (!rawEmpty) {
    monitor()->logWithLevel(1, 23118, "Failed to check if raw events table is empty. Error", MSRLogContext(error));
    return false;
  }
  return !*rawEmpty;
}

double MSRMeasurement::nextUploadingTime() {
  auto database = this->database();
  auto config = remoteConfigInstance();
  if (!database || !config) return 0;
  auto log = monitor();
  ns::Error error;
  double latestRaw = 0, latestBundle = 0;
  if (auto time = database->queryLatestRawEventTime(&error)) {
    latestRaw = *time;
  } else if (error.code() != 0) {
    log->logWithLevel(5, 23029, "Failed to query latest raw event time. Error", MSRLogContext(error));
  }
  error = ns::Error();
  if (auto time = database->queryLatestBundleTime(&error)) {
    latestBundle = *time;
  } else if (error.code() != 0) {
    log->logWithLevel(5, 23030, "Failed to query latest bundle time. Error", MSRLogContext(error));
  }
  double latest = std::max(latestBundle, latestRaw);
  if (std::fabs(latest) < kEpsilon) return 0;

  const bool debug = log->isDebugModeEnabled();
  bool realtime = debug;
  if (!realtime) {
    error = ns::Error();
    auto bundles = database->containsRealtimeBundlesWithError(&error);
    if (!bundles) log->logWithLevel(5, 23031, "Failed to query for real-time bundle indicator. Error", MSRLogContext(error));
    realtime = bundles.value_or(false);
  }
  if (!realtime) {
    error = ns::Error();
    auto raw = database->containsRealtimeRawEventsWithError(&error);
    if (!raw) {
      log->logWithLevel(5, 23032, "Failed to query for real-time raw event indicator. Error", MSRLogContext(error));
    }
    realtime = raw.value_or(false);
  }
  double interval;
  if (realtime) {
    interval = config->uploadingRealTimeInterval();
  } else if (config->SKANUpdateConversionValueEnabled() && isInFirstSKANPostbackWindow()) {
    interval = config->SKANFirstWindowUploadInterval();
  } else {
    interval = config->uploadingInterval();
  }

  const double current = now();
  // A newest time in the future (the wall clock was set back) counts as
  // that far in the past.
  const double newest = current - std::fabs(latest - current);
  const double lastSuccess = persistedConfig_->lastSuccessfulUploadTimestamp();
  double next = std::fabs(current - lastSuccess) < interval ? lastSuccess + interval
                                                            : newest + config->uploadingInitialDelayInterval();
  const double lastFailure = persistedConfig_->lastFailedUploadTimestamp();
  if (lastFailure >= newest) {
    const double retry = config->uploadingRetryInterval();
    const int32_t count = config->uploadingRetryCount();
    for (int32_t k = 0; k < count; ++k) {
      next += retry * std::ldexp(1.0, k);
      if (next > lastFailure) return next;
    }
    return 0;
  }
  if (debug) return std::min(next, newest + config->uploadingDebugModeInterval());
  return next;
}

void MSRMeasurement::stopUploadSchedule() {
  if (alarm_) alarm_->cancel();
  // A conversion-value fetch asked while offline still waits for the
  // network.
  if (network_ && !fetchSKANWhenNetworkConnected_) network_->setReachabilityDelegate({});
  terminateBackgroundTask();
}

void MSRMeasurement::listenForReachabilityChanges() {
  if (!network_) return;
  if (!reachabilityListener_) reachabilityListener_ = std::make_shared<ReachabilityListener>(weak_from_this());
  network_->setReachabilityDelegate(reachabilityListener_);
}

void MSRMeasurement::updateSchedule() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("updateSchedule");
  auto log = monitor();
  const double suspended = suspendedUploadTimestamp_.load();
  if (suspended != 0 && !std::isnan(suspended)) {
    const double distance = std::fabs(MSRTimeSinceBoot() - suspended);
    if (distance < kSuspensionSeconds) {
      log->logWithLevel(3, 23023, "Upload has been suspended. Will update scheduling later. Seconds",
                        ns::Value(kSuspensionSeconds - distance));
      stopUploadSchedule();
      return;
    }
    suspendedUploadTimestamp_ = 0;
  }
  if (!hasDataToUpload()) {
    if (auto config = remoteConfigInstance()) config->activateNewSnapshot();
    log->logWithLevel(8, 23024, "No data to upload. Upload task will not be scheduled");
    stopUploadSchedule();
    return;
  }
  double next = nextUploadingTime();
  if (std::fabs(next) < kEpsilon) {
    log->logWithLevel(8, 23025, "No next uploading time. Upload task will not be scheduled");
    stopUploadSchedule();
    return;
  }
  if (!network_ || !network_->isNetworkConnected()) {
    log->logWithLevel(8, 23026, "No network. Upload task will not be scheduled");
    listenForReachabilityChanges();
    if (alarm_) alarm_->cancel();
    terminateBackgroundTask();
    return;
  }
  network_->setReachabilityDelegate({});
  const double current = now();
  const double backoff = persistedConfig_->lastBackoffTimestamp();
  if (backoff != 0) {
    const double period = engineConfig(*this)->uploadingBackoffInterval();
    if (period > current - backoff) next = std::max(next, backoff + period);
  }
  if (!alarm_) return;
  if (auto scheduled = alarm_->scheduledTimestamp()) {
    const double at = scheduled->timeIntervalSince1970();
    if (at != 0 && at <= next) {
      log->logWithLevel(8, 23027, "Do not schedule an upload task. Task already exists. Will be executed in seconds",
                        ns::Value(at - current));
      return;
    }
  }
  double delay = next - current;
  if (std::fabs(delay) < kEpsilon) delay = 0.001;
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  alarm_->runAfterDelay(delay, [weak] {
    auto engine = weak.lock();
    if (!engine) return;
    engine->scheduler()->scheduleOnWorkerQueueBlockID("MSRMeasurement:1725", [weak] {
      if (auto strong = weak.lock()) strong->uploadData();
    });
  });
  log->logWithLevel(8, 23028, "Upload task scheduled to be executed in approx. (s)", ns::Value(delay));
}

void MSRMeasurement::uploadDataOrRegisterAlarm() {
  if (network_ && network_->isNetworkConnected() && hasDataToUpload()) {
    uploadData();
  } else {
    updateSchedule();
  }
}

bool MSRMeasurement::shouldUseBackgroundSession() const {
  return engineConfig(*this)->isNetworkBackgroundSessionEnabled() && backgroundUpdateTask_.load() != ui::kBackgroundTaskInvalid;
}

void MSRMeasurement::subscribeForAppForegroundBackgroundNotifications() {
  auto& center = ns::NotificationCenter::defaultCenter();
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  auto observe = [&](const char* name, void (MSRMeasurement::*handler)()) {
    auto token = center.addObserver(name, nullptr, nullptr, [weak, handler](const ns::Notification&) {
      if (auto engine = weak.lock()) ((*engine).*handler)();
    });
    // Dropping the holder removes the registration.
    lifecycleObservers_.push_back(std::shared_ptr<const void>(
        token.get(), [token](const void*) { ns::NotificationCenter::defaultCenter().removeObserver(token); }));
  };
  lifecycleObservers_.clear();
  observe(ui::kApplicationDidBecomeActiveNotification, &MSRMeasurement::handleAppDidBecomeActiveEvent);
  observe(ui::kApplicationWillResignActiveNotification, &MSRMeasurement::handleAppWillResignActiveEvent);
  observe(ui::kApplicationWillEnterForegroundNotification, &MSRMeasurement::handleAppWillEnterForegroundNotification);
}

void MSRMeasurement::handleAppDidBecomeActiveEvent() {
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  if (engineConfig(*this)->blocklistInternal()) {
    scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:4088", [weak] {
      auto engine = weak.lock();
      if (!engine) return;
      auto config = engine->remoteConfigInstance();
      if (!config || std::fabs(now() - config->lastRemoteConfigUpdateTimestamp()) < kBlocklistConfigAge) return;
      if (engine->isNetworkReadyForRequest()) {
        engine->fetchRemoteConfig();
      } else {
        monitor()->logWithLevel(8, 23143, "Network operation is pending. Ignoring request to fetch configuration");
      }
    });
  }
  scheduler_->scheduleOnWorkerQueueBlockID("MSRMeasurement:4096", [weak] {
    if (auto engine = weak.lock()) engine->fetchSKANCV();
  });
}

void MSRMeasurement::handleAppWillResignActiveEvent() {
  persistedConfig_->synchronizeToDisk();
  auto log = monitor();
  log->logWithLevel(8, 23144, "App will resign active state. Scheduling data upload");
  if (auto* application = MSRAEU::sharedApplication()) {
    std::weak_ptr<MSRMeasurement> weak = weak_from_this();
    auto task = application->beginBackgroundTask("MSRAnalyticsMeasurementBackgroundTask", [weak] {
      if (auto engine = weak.lock()) engine->terminateBackgroundTask();
    });
    swapBackgroundTaskWithNewTaskID(task);
    log->logWithLevel(8, 23145, "Background task started. Task ID", ns::Value(static_cast<int64_t>(task)));
  }
  // Through the analytics operation queue: events logged just before come
  // first.
  std::weak_ptr<MSRMeasurement> weak = weak_from_this();
  MSRAnalytics::queueOperationWithBlock([weak] {
    auto engine = weak.lock();
    if (!engine) return;
    engine->scheduler()->scheduleOnWorkerQueueBlockID("MSRMeasurement:4143", [weak] {
      if (auto strong = weak.lock()) strong->uploadData();
    });
  });
}

void MSRMeasurement::handleAppWillEnterForegroundNotification() { terminateBackgroundTask(); }

void MSRMeasurement::swapBackgroundTaskWithNewTaskID(uint64_t taskID) {
  uint64_t old = backgroundUpdateTask_.exchange(taskID);
  if (old == ui::kBackgroundTaskInvalid) return;
  monitor()->logWithLevel(7, 23142, "Cancelling background upload task. Task ID ", ns::Value(static_cast<int64_t>(old)));
  if (auto* application = MSRAEU::sharedApplication()) application->endBackgroundTask(old);
}

void MSRMeasurement::terminateBackgroundTask() {
  if (persistedConfig_) persistedConfig_->synchronizeToDisk();
  swapBackgroundTaskWithNewTaskID(ui::kBackgroundTaskInvalid);
}
