// LKAbstractDatabaseLogger: the bookkeeping of a logger that stores records
// in a database. Each record goes to db_log; accepted records are saved
// (db_save, or db_saveAndDelete when deleteOnEverySave) once saveThreshold
// of them gathered or the oldest unsaved one is saveInterval seconds old;
// entries older than maxAge are deleted (db_delete) every deleteInterval
// seconds. Timers run on the logger's queue and follow ns::Clock.
//
// Property reads wait on the logging queue and the logger's queue (never
// call them from either); writes pass through both without waiting.
#pragma once

#include <cstdint>
#include <memory>

#include "Libraries/Logging/LKAbstractLogger.h"
#include "Platform/Dispatch/TimerSource.h"

class LKAbstractDatabaseLogger : public LKAbstractLogger {
 public:
  ~LKAbstractDatabaseLogger() override;

  uint64_t saveThreshold();
  // 0: save only by timer or flush.
  void setSaveThreshold(uint64_t count);
  double saveInterval();
  // Seconds; 0 or less: no save timer.
  void setSaveInterval(double seconds);
  double maxAge();
  // Seconds; 0 or less: nothing is deleted.
  void setMaxAge(double seconds);
  double deleteInterval();
  void setDeleteInterval(double seconds);
  bool deleteOnEverySave();
  void setDeleteOnEverySave(bool value);

  // Run the save or delete step on the logger's queue, not waiting.
  void savePendingLogEntries();
  void deleteOldLogEntries();

  void logMessage(const LKLogMessage& message) override;
  void didAddLogger() override;
  void willRemoveLogger() override;
  void flush() override;

 protected:
  LKAbstractDatabaseLogger() = default;

  // Storage hooks, on the logger's queue.
  virtual bool db_log(const LKLogMessage& message) {
    (void)message;
    return false;
  }
  virtual void db_save() {}
  virtual void db_delete() {}
  virtual void db_saveAndDelete() {}

 private:
  std::weak_ptr<LKAbstractDatabaseLogger> weakSelf();
  void runOnQueue(std::function<void()> block);
  void performSaveAndSuspendSaveTimer();
  void performDelete();
  void createSuspendedSaveTimer();
  void updateAndResumeSaveTimer();
  void destroySaveTimer();
  void createAndStartDeleteTimer();
  void updateDeleteTimer();
  void destroyDeleteTimer();

  uint64_t saveThreshold_ = 500;
  double saveInterval_ = 60;
  double maxAge_ = 60 * 60 * 24 * 7;
  double deleteInterval_ = 60 * 5;
  bool deleteOnEverySave_ = false;
  int64_t saveTimerSuspended_ = -1;  // -1 never started, 0 running, 1 suspended
  uint64_t unsavedCount_ = 0;
  dispatch::Time unsavedTime_ = 0;
  std::shared_ptr<dispatch::TimerSource> saveTimer_;
  dispatch::Time lastDeleteTime_ = 0;
  std::shared_ptr<dispatch::TimerSource> deleteTimer_;
};
