// Exception models the application wants sent at once (on-demand reports):
// each becomes a report folder of its own, sent urgently while data
// collection is on, or kept (four at most) for the next send while it is
// off. At most `onDemandUploadRate` of them may be queued; more are dropped
// and counted. Sends are spaced by a delay that grows exponentially while
// the queue stays full and decays while it does not:
//   delay = base^step × 60 / rate, at most 3,600 seconds,
// with the remote settings' rate, base and step duration, clamped so that a
// bad setting can never make the delay infinite or negative: the rate to at
// least one per hour, the base to at least 1, the step duration to at least
// one second, the delay to 0–3,600 seconds.
//
// Threading: callers may come from any thread; the decision and the counters
// are serialised by the model's lock. Sends and delays run one at a time on
// the on-demand queue; the delay sleeps on ns::Clock, so a virtual clock
// moves it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/DVCRSettings.h"
#include "Libraries/CrashReporter/ZOVExceptionModel.h"
#include "Platform/Dispatch/OperationQueue.h"

class DVCRExistingReportManager;

inline constexpr size_t kDVCRMaxStoredOnDemandReports = 4;
inline constexpr double kDVCRMaxOnDemandDelay = 3600;

// Makes the report folder of an on-demand exception, storing the recorded
// and dropped counts as its internal keys; its path, or nothing. By default
// the exception recorder's copy of the live report (DVCRException.h).
using DVCROnDemandRecorder = std::function<std::optional<std::string>(const ZOVExceptionModel& model,
                                                                      int32_t recordedCount, int32_t droppedCount)>;
DVCROnDemandRecorder DVCROnDemandRecorderOfExceptionRecorder();

class DVCROnDemandModel : public std::enable_shared_from_this<DVCROnDemandModel> {
 public:
  DVCROnDemandModel(std::shared_ptr<DVCRSettings> settings, std::shared_ptr<DVCRFileManager> fileManager,
                    DVCROnDemandRecorder recorder = DVCROnDemandRecorderOfExceptionRecorder());

  // Whether a report was made (and queued for sending or kept).
  bool recordOnDemandExceptionIfQuota(const ZOVExceptionModel& model, bool dataCollectionEnabled,
                                      const std::shared_ptr<DVCRExistingReportManager>& existingReportManager);
  std::optional<std::string> recordOnDemandExceptionWithModel(const ZOVExceptionModel& model);

  // Seconds before the next send may go; moves the step first.
  double calculateUploadDelay();
  double calculateStepDuration();
  // Sleeps that many whole seconds of ns::Clock.
  void implementOnDemandUploadDelay(int seconds);
  bool isQueueFull() const;

  void incrementDroppedOnDemandExceptionCount();
  void decrementDroppedOnDemandExceptionCount();
  void resetDroppedOnDemandExceptionCount();
  void incrementRecordedOnDemandExceptionCount();
  void decrementRecordedOnDemandExceptionCount();
  void incrementQueuedOperationCount();
  void decrementQueuedOperationCount();
  int32_t getQueuedOperationsCount() const;
  int32_t recordedOnDemandExceptionCount() const;
  int32_t droppedOnDemandExceptionCount() const;

  // Kept reports, newest first; `take` empties the list (they are being sent).
  std::vector<std::string> storedActiveReportPaths() const;
  std::vector<std::string> takeStoredActiveReportPaths();

  const std::shared_ptr<dispatch::OperationQueue>& operationQueue() const { return operationQueue_; }
  double currentStep() const;

  // The settings as used, clamped.
  double uploadRate() const;
  double backoffBase() const;
  double backoffStepDuration() const;

 private:
  void sendOrStore(const std::string& path, bool dataCollectionEnabled,
                   const std::shared_ptr<DVCRExistingReportManager>& existingReportManager);

  std::shared_ptr<DVCRSettings> settings_;
  std::shared_ptr<DVCRFileManager> fileManager_;
  DVCROnDemandRecorder recorder_;
  std::shared_ptr<dispatch::OperationQueue> operationQueue_;

  mutable std::recursive_mutex mutex_;
  int32_t recordedOnDemandExceptionCount_ = 0;
  int32_t droppedOnDemandExceptionCount_ = 0;
  int32_t queuedOperationsCount_ = 0;
  double lastUpdated_;
  double currentStep_ = -1;
  std::vector<std::string> storedActiveReportPaths_;
};
