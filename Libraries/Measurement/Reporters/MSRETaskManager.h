// Fetches experiment snapshots from the experiment service on a schedule,
// keeps them in the experiments database and tells its delegate (the
// experiments manager).
//
// Schedule. The first fetch of a process comes no earlier than 10 s after
// the first computation and no earlier than 4 hours after the last success;
// later ones 4 hours after a success. After failures the retry steps lie
// 1800, 5400, 12600, 27000, 55800 and 113400 s after the start of the
// ladder (the last success plus 4 hours, or this task manager's
// initialization time without one); past the last one nothing is armed and
// the success timestamp is removed. A 429 or 503 holds every attempt back
// until 12 hours after it. A delegate that answers NO turns a due fetch
// into a 4-hour postponement.
//
// Answers. 200 and 204 are successes whose body must be an
// ExperimentResponse: a body beginning with a gzip or zlib header is
// inflated first, any other is used as it came (the HTTP layer already
// decoded a "Content-Encoding: gzip" body), an empty one is an empty
// response. A body that does not inflate or decode is a failed fetch like
// any other status: it stamps the failure and keeps the stored snapshots.
//
// Timestamps (seconds since 1970) persist in the suite
// "MSRExperimentSuiteName": "MSRExperimentFetchSuccessTimestamp",
// "MSRExperimentFetchFailureTimestamp", "MSRExperimentFetchBackoffTimestamp".
//
// Threading: every piece of state, the database and the timestamps are
// touched on the serial worker queue "MSRExperimentWorkerQueue"; the alarm
// and the network completion run there too. Public operations queue their
// work on it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/Measurement/Core/MSRAlarm.h"
#include "Libraries/Measurement/Reporters/MSREDatabase.h"
#include "Libraries/Measurement/Reporters/MSRETaskManagerDelegate.h"
#include "Libraries/Measurement/Storage/MSRConfigStore.h"
#include "Libraries/TelemetryFoundation/ZULNetwork.h"
#include "Libraries/WireMessages/MSRPBExperimentMessages.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Network/HTTPURLResponse.h"

inline constexpr const char* kMSRExperimentFetchSuccessTimestamp = "MSRExperimentFetchSuccessTimestamp";
inline constexpr const char* kMSRExperimentFetchFailureTimestamp = "MSRExperimentFetchFailureTimestamp";
inline constexpr const char* kMSRExperimentFetchBackoffTimestamp = "MSRExperimentFetchBackoffTimestamp";
inline constexpr const char* kMSRExperimentErrorDomain = "com.zorori.zmp.measurement.experiment.ErrorDomain";

class MSRETaskManager : public std::enable_shared_from_this<MSRETaskManager> {
 public:
  // Its own worker queue, alarm "MSRExperimentAlarm", a network client
  // watching the experiment service's host, the suite
  // "MSRExperimentSuiteName" and "zorori_experimentation_database.sql" in
  // the measurement file directory.
  static std::shared_ptr<MSRETaskManager> init();
  static std::shared_ptr<MSRETaskManager> initWithQueue(std::shared_ptr<dispatch::Queue> queue,
                                                        std::shared_ptr<MSRAlarm> alarm,
                                                        std::shared_ptr<ZULNetwork> network,
                                                        std::shared_ptr<MSRConfigStore> persistedStorage,
                                                        std::string databasePath, double initTimestamp);
  MSRETaskManager(const MSRETaskManager&) = delete;
  MSRETaskManager& operator=(const MSRETaskManager&) = delete;

  // Opens the database, activates what waits for no client, hands every
  // stored snapshot to the delegate and arms the first fetch.
  void startTaskManager();
  void activatePendingSnapshot(const std::shared_ptr<MSRESnapshot>& snapshot, double timestamp);
  void resetToDefaultsForSDKName(const std::string& SDKName);
  void upsertPendingSnapshots(const MSRESnapshotList& snapshots);
  void reset();
  void clearAndDelete();

  // When to fetch next (seconds since 1970); 0: not at all.
  double fetchTimeFromLastSuccessfulTimestamp(double lastSuccess, double lastFailure);

  // On the worker queue.
  void startTaskManagerOnWorkerQueue();
  void fetchAllSnapshotsOnWorkerQueue();
  void scheduleFetchingExperimentsOnWorkerQueue();
  void fetchExperiments();
  void postponeFetchExperiments();
  void handleFetchingExperimentsResponse(const std::optional<net::HTTPURLResponse>& response,
                                         const std::optional<ns::Data>& data, const std::optional<ns::Error>& error);

  // None for a null response (logged, 820015).
  std::optional<MSRESnapshotList> experimentSnapshotsFromExperimentResponse(const MSRPBExperimentResponse* response);
  std::map<std::string, ns::Error> errorsFromExperimentResponse(const MSRPBExperimentResponse* response);
  std::optional<MSRESnapshotList> experimentSnapshotsFromData(const ns::Data& data);

  // Blocks run under a handler for ns::Exception: the async form logs
  // 820026 and swallows it, the sync form logs 820027 and throws it again.
  void dispatchAsyncOnWorkerQueue(std::function<void()> block);
  void dispatchSyncOnWorkerQueue(const std::function<void()>& block);

  // Held weakly; null once gone.
  std::shared_ptr<MSRETaskManagerDelegate> delegate() const;
  void setDelegate(std::weak_ptr<MSRETaskManagerDelegate> delegate);
  bool hasMadeInitialFetch() const { return hasMadeInitialFetch_; }
  double initializationTimestamp() const { return initializationTimestamp_; }
  const std::string& databasePath() const { return databasePath_; }
  const std::shared_ptr<dispatch::Queue>& workerQueue() const { return workerQueue_; }
  const std::shared_ptr<MSRAlarm>& alarm() const { return alarm_; }
  // Null before the start, and when the database failed to open.
  const std::shared_ptr<MSREDatabase>& database() const { return database_; }

 private:
  MSRETaskManager() = default;
  double storedTimestamp(const char* key);
  void recordFailedFetch(int status, const std::optional<ns::Error>& error);
  void removeFetchTimestamps();

  std::shared_ptr<MSRAlarm> alarm_;
  std::shared_ptr<ZULNetwork> network_;
  std::shared_ptr<MSRConfigStore> persistedStorage_;
  std::shared_ptr<dispatch::Queue> workerQueue_;
  std::shared_ptr<MSREDatabase> database_;
  std::string databasePath_;
  bool hasMadeInitialFetch_ = false;
  mutable std::mutex delegateMutex_;
  std::weak_ptr<MSRETaskManagerDelegate> delegate_;
  double initializationTimestamp_ = 0;
};
