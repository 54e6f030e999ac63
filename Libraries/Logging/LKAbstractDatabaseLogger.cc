#include "Libraries/Logging/LKAbstractDatabaseLogger.h"

#include "Libraries/Logging/LKLog.h"

namespace {

uint64_t nanos(double seconds) { return static_cast<uint64_t>(seconds * dispatch::kNanosPerSecond); }

}  // namespace

LKAbstractDatabaseLogger::~LKAbstractDatabaseLogger() {
  // Nothing else can run for this logger now (blocks hold it strongly).
  destroySaveTimer();
  destroyDeleteTimer();
}

std::weak_ptr<LKAbstractDatabaseLogger> LKAbstractDatabaseLogger::weakSelf() {
  return std::static_pointer_cast<LKAbstractDatabaseLogger>(shared_from_this());
}

void LKAbstractDatabaseLogger::runOnQueue(std::function<void()> block) {
  auto keep = shared_from_this();
  performOnLoggerQueue([keep, block = std::move(block)] { block(); });
}

// Properties

uint64_t LKAbstractDatabaseLogger::saveThreshold() {
  uint64_t v = 0;
  performOnLoggerQueueAndWait([&] { v = saveThreshold_; });
  return v;
}

void LKAbstractDatabaseLogger::setSaveThreshold(uint64_t count) {
  runOnQueue([this, count] {
    if (count == saveThreshold_) return;
    saveThreshold_ = count;
    if (saveThreshold_ != 0 && unsavedCount_ >= saveThreshold_) performSaveAndSuspendSaveTimer();
  });
}

double LKAbstractDatabaseLogger::saveInterval() {
  double v = 0;
  performOnLoggerQueueAndWait([&] { v = saveInterval_; });
  return v;
}

void LKAbstractDatabaseLogger::setSaveInterval(double seconds) {
  runOnQueue([this, seconds] {
    if (seconds == saveInterval_) return;
    saveInterval_ = seconds;
    if (saveInterval_ > 0) {
      if (!saveTimer_) createSuspendedSaveTimer();
      updateAndResumeSaveTimer();
    } else if (saveTimer_) {
      destroySaveTimer();
    }
  });
}

double LKAbstractDatabaseLogger::maxAge() {
  double v = 0;
  performOnLoggerQueueAndWait([&] { v = maxAge_; });
  return v;
}

void LKAbstractDatabaseLogger::setMaxAge(double seconds) {
  runOnQueue([this, seconds] {
    if (seconds == maxAge_) return;
    double old = maxAge_;
    maxAge_ = seconds;
    if (old > 0 && seconds <= 0) {
      destroyDeleteTimer();
      return;
    }
    if (old > 0 && seconds > 0 && seconds >= old) return;
    if (old <= 0 && seconds <= 0) return;
    // Switched on, or shortened: what is now too old goes at once.
    performDelete();
    if (deleteTimer_) {
      updateDeleteTimer();
    } else {
      createAndStartDeleteTimer();
    }
  });
}

double LKAbstractDatabaseLogger::deleteInterval() {
  double v = 0;
  performOnLoggerQueueAndWait([&] { v = deleteInterval_; });
  return v;
}

void LKAbstractDatabaseLogger::setDeleteInterval(double seconds) {
  runOnQueue([this, seconds] {
    if (seconds == deleteInterval_) return;
    deleteInterval_ = seconds;
    if (deleteInterval_ <= 0) {
      if (deleteTimer_) destroyDeleteTimer();
    } else if (deleteTimer_) {
      updateDeleteTimer();
    } else {
      createAndStartDeleteTimer();
    }
  });
}

bool LKAbstractDatabaseLogger::deleteOnEverySave() {
  bool v = false;
  performOnLoggerQueueAndWait([&] { v = deleteOnEverySave_; });
  return v;
}

void LKAbstractDatabaseLogger::setDeleteOnEverySave(bool value) {
  runOnQueue([this, value] { deleteOnEverySave_ = value; });
}

void LKAbstractDatabaseLogger::savePendingLogEntries() {
  auto keep = shared_from_this();
  if (isOnInternalLoggerQueue()) {
    performSaveAndSuspendSaveTimer();
  } else {
    loggerQueue()->async([this, keep] { performSaveAndSuspendSaveTimer(); });
  }
}

void LKAbstractDatabaseLogger::deleteOldLogEntries() {
  auto keep = shared_from_this();
  if (isOnInternalLoggerQueue()) {
    performDelete();
  } else {
    loggerQueue()->async([this, keep] { performDelete(); });
  }
}

// Records

void LKAbstractDatabaseLogger::logMessage(const LKLogMessage& message) {
  if (!db_log(message)) return;
  bool first = unsavedCount_ == 0;
  ++unsavedCount_;
  if (saveThreshold_ != 0 && unsavedCount_ >= saveThreshold_) {
    performSaveAndSuspendSaveTimer();
  } else if (first) {
    unsavedTime_ = dispatch::timeAfter(0);
    updateAndResumeSaveTimer();
  }
}

void LKAbstractDatabaseLogger::didAddLogger() {
  createSuspendedSaveTimer();
  createAndStartDeleteTimer();
}

void LKAbstractDatabaseLogger::willRemoveLogger() {
  performSaveAndSuspendSaveTimer();
  destroySaveTimer();
  destroyDeleteTimer();
}

void LKAbstractDatabaseLogger::flush() { performSaveAndSuspendSaveTimer(); }

void LKAbstractDatabaseLogger::performSaveAndSuspendSaveTimer() {
  if (unsavedCount_ > 0) {
    if (deleteOnEverySave_) {
      db_saveAndDelete();
    } else {
      db_save();
    }
  }
  unsavedCount_ = 0;
  unsavedTime_ = 0;
  if (saveTimer_ && saveTimerSuspended_ == 0) {
    saveTimer_->suspend();
    saveTimerSuspended_ = 1;
  }
}

void LKAbstractDatabaseLogger::performDelete() {
  if (maxAge_ > 0) {
    db_delete();
    lastDeleteTime_ = dispatch::timeAfter(0);
  }
}

// Timers

void LKAbstractDatabaseLogger::createSuspendedSaveTimer() {
  if (saveTimer_ || saveInterval_ <= 0) return;
  saveTimer_ = dispatch::TimerSource::create(loggerQueue());
  auto weak = weakSelf();
  saveTimer_->setEventHandler([weak] {
    if (auto self = weak.lock()) self->performSaveAndSuspendSaveTimer();
  });
  saveTimerSuspended_ = -1;
}

void LKAbstractDatabaseLogger::updateAndResumeSaveTimer() {
  if (!saveTimer_ || saveInterval_ <= 0 || unsavedTime_ == 0) return;
  saveTimer_->setTimer(unsavedTime_ + nanos(saveInterval_), nanos(saveInterval_), dispatch::kNanosPerSecond);
  if (saveTimerSuspended_ == -1 || saveTimerSuspended_ == 1) saveTimer_->resume();
  saveTimerSuspended_ = 0;
}

void LKAbstractDatabaseLogger::destroySaveTimer() {
  if (!saveTimer_) return;
  saveTimer_->cancel();
  // A timer never started, or suspended, is let run so that it can go.
  if (saveTimerSuspended_ != 0) saveTimer_->resume();
  saveTimer_.reset();
  saveTimerSuspended_ = 0;
}

void LKAbstractDatabaseLogger::createAndStartDeleteTimer() {
  if (deleteTimer_ || deleteInterval_ <= 0 || maxAge_ <= 0) return;
  deleteTimer_ = dispatch::TimerSource::create(loggerQueue());
  auto weak = weakSelf();
  deleteTimer_->setEventHandler([weak] {
    if (auto self = weak.lock()) self->performDelete();
  });
  updateDeleteTimer();
  deleteTimer_->resume();
}

void LKAbstractDatabaseLogger::updateDeleteTimer() {
  if (!deleteTimer_ || deleteInterval_ <= 0 || maxAge_ <= 0) return;
  // Never deleted yet: count from now.
  dispatch::Time from = lastDeleteTime_ != 0 ? lastDeleteTime_ : dispatch::timeAfter(0);
  deleteTimer_->setTimer(from + nanos(deleteInterval_), nanos(deleteInterval_), dispatch::kNanosPerSecond);
}

void LKAbstractDatabaseLogger::destroyDeleteTimer() {
  if (!deleteTimer_) return;
  deleteTimer_->cancel();
  deleteTimer_.reset();
}
