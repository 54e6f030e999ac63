#include "Libraries/CrashReporter/DVCROnDemandModel.h"

#include <algorithm>
#include <cmath>

#include "Libraries/CrashReporter/DVCRApplication.h"
#include "Libraries/CrashReporter/DVCRException.h"
#include "Libraries/CrashReporter/DVCRExistingReportManager.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRValueTypes.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/Semaphore.h"
#include "Platform/Foundation/Date.h"

namespace {

double now() { return ns::Date::now().timeIntervalSinceReferenceDate(); }

}  // namespace

DVCROnDemandRecorder DVCROnDemandRecorderOfExceptionRecorder() {
  return [](const ZOVExceptionModel& model, int32_t recordedCount, int32_t droppedCount) {
    return DVCRExceptionRecordOnDemandModel(model, static_cast<uint32_t>(std::max(recordedCount, 0)),
                                            static_cast<uint32_t>(std::max(droppedCount, 0)));
  };
}

DVCROnDemandModel::DVCROnDemandModel(std::shared_ptr<DVCRSettings> settings,
                                     std::shared_ptr<DVCRFileManager> fileManager, DVCROnDemandRecorder recorder)
    : settings_(std::move(settings)),
      fileManager_(std::move(fileManager)),
      recorder_(std::move(recorder)),
      operationQueue_(dispatch::OperationQueue::create(DVCRApplicationGetSDKBundleID() + ".on-demand-queue")),
      lastUpdated_(now()) {
  operationQueue_->setMaxConcurrentOperationCount(1);
  operationQueue_->setUnderlyingQueue(dispatch::Queue::serial("com.zorori.dozaveve.dodevadarud.on.demand"));
}

double DVCROnDemandModel::uploadRate() const {
  double rate = settings_ ? settings_->onDemandUploadRate() : 10.0;
  // At least one per hour: 60 / rate then stays within the delay's cap.
  return rate >= 60 / kDVCRMaxOnDemandDelay ? rate : 60 / kDVCRMaxOnDemandDelay;
}

double DVCROnDemandModel::backoffBase() const {
  double base = settings_ ? settings_->onDemandBackoffBase() : 1.5;
  return base >= 1 ? base : 1;
}

double DVCROnDemandModel::backoffStepDuration() const {
  double step = settings_ ? settings_->onDemandBackoffStepDuration() : 6;
  return std::max(step, 1.0);
}

bool DVCROnDemandModel::isQueueFull() const {
  std::lock_guard lock(mutex_);
  return queuedOperationsCount_ >= uploadRate();
}

double DVCROnDemandModel::calculateStepDuration() {
  std::lock_guard lock(mutex_);
  double current = now();
  bool full = isQueueFull();
  if (currentStep_ == -1) {
    currentStep_ = 0;
    lastUpdated_ = current;
  }
  double elapsed = (current - lastUpdated_) / backoffStepDuration();
  double up = std::min(currentStep_ + elapsed, 100.0);
  double down = std::max(currentStep_ - elapsed, 0.0);
  double next = full ? up : down;
  if (next != currentStep_) {
    currentStep_ = next;
    lastUpdated_ = current;
  }
  return next;
}

double DVCROnDemandModel::calculateUploadDelay() {
  double step = calculateStepDuration();
  double delay = std::pow(backoffBase(), step) * (60 / uploadRate());
  if (!(delay >= 0)) return 0;
  return std::min(delay, kDVCRMaxOnDemandDelay);
}

void DVCROnDemandModel::implementOnDemandUploadDelay(int seconds) {
  if (seconds <= 0) return;
  dispatch::Semaphore never;
  never.wait(dispatch::timeAfterSeconds(seconds));
}

std::optional<std::string> DVCROnDemandModel::recordOnDemandExceptionWithModel(const ZOVExceptionModel& model) {
  if (!recorder_) return std::nullopt;
  int32_t recorded = recordedOnDemandExceptionCount();
  int32_t dropped = droppedOnDemandExceptionCount();
  return recorder_(model, recorded, dropped);
}

bool DVCROnDemandModel::recordOnDemandExceptionIfQuota(
    const ZOVExceptionModel& model, bool dataCollectionEnabled,
    const std::shared_ptr<DVCRExistingReportManager>& existingReportManager) {
  std::lock_guard lock(mutex_);
  if (isQueueFull()) {
    DVCRLogDebugMessage("No available on-demand quota, dropping report");
    incrementDroppedOnDemandExceptionCount();
    incrementRecordedOnDemandExceptionCount();
    return false;
  }
  auto path = recordOnDemandExceptionWithModel(model);
  if (!path) {
    DVCRLogErrorMessage("Error recording on-demand exception");
    return false;
  }
  incrementQueuedOperationCount();
  incrementRecordedOnDemandExceptionCount();
  resetDroppedOnDemandExceptionCount();
  auto self = shared_from_this();
  std::string reportPath = *path;
  operationQueue_->addOperation([self, reportPath, dataCollectionEnabled, existingReportManager] {
    self->sendOrStore(reportPath, dataCollectionEnabled, existingReportManager);
  });
  return true;
}

void DVCROnDemandModel::sendOrStore(const std::string& path, bool dataCollectionEnabled,
                                    const std::shared_ptr<DVCRExistingReportManager>& existingReportManager) {
  double delay = calculateUploadDelay();
  if (dataCollectionEnabled) {
    if (existingReportManager)
      existingReportManager->handleOnDemandReportUpload(path, DVCRDataCollectionToken::validToken(), true);
    DVCRLogDebugMessage("Submitted an on-demand exception, starting delay %.20f", delay);
  } else {
    std::lock_guard lock(mutex_);
    storedActiveReportPaths_.insert(storedActiveReportPaths_.begin(), path);
    if (storedActiveReportPaths_.size() > kDVCRMaxStoredOnDemandReports) {
      if (fileManager_) fileManager_->removeItemAtPath(storedActiveReportPaths_.back());
      storedActiveReportPaths_.pop_back();
      decrementRecordedOnDemandExceptionCount();
      incrementDroppedOnDemandExceptionCount();
    }
    DVCRLogDebugMessage("Stored an on-demand exception, starting delay %.20f", delay);
  }
  implementOnDemandUploadDelay(static_cast<int>(delay));
  decrementQueuedOperationCount();
}

void DVCROnDemandModel::incrementDroppedOnDemandExceptionCount() {
  std::lock_guard lock(mutex_);
  ++droppedOnDemandExceptionCount_;
}
void DVCROnDemandModel::decrementDroppedOnDemandExceptionCount() {
  std::lock_guard lock(mutex_);
  --droppedOnDemandExceptionCount_;
}
void DVCROnDemandModel::resetDroppedOnDemandExceptionCount() {
  std::lock_guard lock(mutex_);
  droppedOnDemandExceptionCount_ = 0;
}
void DVCROnDemandModel::incrementRecordedOnDemandExceptionCount() {
  std::lock_guard lock(mutex_);
  ++recordedOnDemandExceptionCount_;
}
void DVCROnDemandModel::decrementRecordedOnDemandExceptionCount() {
  std::lock_guard lock(mutex_);
  --recordedOnDemandExceptionCount_;
}
void DVCROnDemandModel::incrementQueuedOperationCount() {
  std::lock_guard lock(mutex_);
  ++queuedOperationsCount_;
}
void DVCROnDemandModel::decrementQueuedOperationCount() {
  std::lock_guard lock(mutex_);
  --queuedOperationsCount_;
}
int32_t DVCROnDemandModel::getQueuedOperationsCount() const {
  std::lock_guard lock(mutex_);
  return queuedOperationsCount_;
}
int32_t DVCROnDemandModel::recordedOnDemandExceptionCount() const {
  std::lock_guard lock(mutex_);
  return recordedOnDemandExceptionCount_;
}
int32_t DVCROnDemandModel::droppedOnDemandExceptionCount() const {
  std::lock_guard lock(mutex_);
  return droppedOnDemandExceptionCount_;
}
double DVCROnDemandModel::currentStep() const {
  std::lock_guard lock(mutex_);
  return currentStep_;
}

std::vector<std::string> DVCROnDemandModel::storedActiveReportPaths() const {
  std::lock_guard lock(mutex_);
  return storedActiveReportPaths_;
}

std::vector<std::string> DVCROnDemandModel::takeStoredActiveReportPaths() {
  std::lock_guard lock(mutex_);
  return std::exchange(storedActiveReportPaths_, {});
}
