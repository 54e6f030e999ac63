#include <gtest/gtest.h>

#include <mutex>

#include "Libraries/Logging/LKAbstractDatabaseLogger.h"
#include "Libraries/Logging/LKLog.h"
#include "Libraries/Logging/tests/LogFileTesting.h"
#include "Platform/Foundation/Clock.h"

namespace {

// Keeps records in memory; "saved" are those a save moved out of pending.
class MemoryDatabaseLogger : public LKAbstractDatabaseLogger {
 public:
  static std::shared_ptr<MemoryDatabaseLogger> create() { return std::shared_ptr<MemoryDatabaseLogger>(new MemoryDatabaseLogger); }
  std::string loggerName() override { return "test.databaseLogger"; }
  size_t saves() {
    std::lock_guard lock(mutex_);
    return saves_;
  }
  size_t saved() {
    std::lock_guard lock(mutex_);
    return saved_;
  }
  size_t deletes() {
    std::lock_guard lock(mutex_);
    return deletes_;
  }

 protected:
  bool db_log(const LKLogMessage& message) override {
    if (message.message() == "refused") return false;
    std::lock_guard lock(mutex_);
    ++pending_;
    return true;
  }
  void db_save() override {
    std::lock_guard lock(mutex_);
    ++saves_;
    saved_ += pending_;
    pending_ = 0;
  }
  void db_delete() override {
    std::lock_guard lock(mutex_);
    ++deletes_;
  }

 private:
  MemoryDatabaseLogger() = default;
  std::mutex mutex_;
  size_t pending_ = 0, saves_ = 0, saved_ = 0, deletes_ = 0;
};

class DatabaseLoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ns::Clock::useVirtual(ns::Date::fromUnixTime(1700000000));
    logger_ = MemoryDatabaseLogger::create();
    LKLog::addLogger(logger_);
    LKLog::flushLog();
    settle();
  }
  void TearDown() override {
    LKLog::removeAllLoggers();
    LKLog::flushLog();
    settle();
    logger_.reset();
    ns::Clock::useReal();
  }
  static void log(const std::string& text, int times = 1) {
    for (int i = 0; i < times; ++i) LKLog::log(true, 7, LKLogFlagInfo, 0, "f", "g", 1, nullptr, "%@", text);
  }
  // Everything queued, fired or logged so far has run on the logger's queue.
  void settle() {
    LKLog::performOnLoggingQueueAndWait([] {});
    logger_->loggerQueue()->sync([] {});
  }
  void advance(double seconds) {
    ns::Clock::advance(seconds);
    settle();
  }
  std::shared_ptr<MemoryDatabaseLogger> logger_;
};

TEST_F(DatabaseLoggerTest, SavesAtTheThresholdAndOnTheTimer) {
  log("r", 499);
  settle();
  EXPECT_EQ(logger_->saves(), 0u);
  log("r");
  settle();
  EXPECT_EQ(logger_->saves(), 1u);
  EXPECT_EQ(logger_->saved(), 500u);

  log("one");
  settle();
  advance(59);
  EXPECT_EQ(logger_->saves(), 1u);
  advance(1.5);
  EXPECT_TRUE(eventually([&] { return logger_->saves() == 2; }));
  EXPECT_EQ(logger_->saved(), 501u);
  // Nothing unsaved: the timer rests.
  advance(120);
  EXPECT_EQ(logger_->saves(), 2u);
}

TEST_F(DatabaseLoggerTest, RefusedRecordsDoNotCountAndThresholdChangesSave) {
  logger_->setSaveThreshold(0);
  logger_->setSaveInterval(0);
  log("refused", 10);
  log("kept", 3);
  settle();
  advance(600);
  EXPECT_EQ(logger_->saves(), 0u);
  logger_->setSaveThreshold(2);  // below the three waiting
  settle();
  EXPECT_EQ(logger_->saves(), 1u);
  EXPECT_EQ(logger_->saved(), 3u);
  log("kept");
  LKLog::flushLog();
  EXPECT_EQ(logger_->saved(), 4u);
}

TEST_F(DatabaseLoggerTest, DeletesOnTheTimerAndWhenMaxAgeShrinks) {
  EXPECT_EQ(logger_->deletes(), 0u);
  advance(300.5);
  EXPECT_TRUE(eventually([&] { return logger_->deletes() == 1; }));
  logger_->setMaxAge(60 * 60 * 24 * 14);  // longer: nothing at once
  settle();
  EXPECT_EQ(logger_->deletes(), 1u);
  logger_->setMaxAge(60);  // shorter: at once
  settle();
  EXPECT_EQ(logger_->deletes(), 2u);
  logger_->setMaxAge(0);  // off: the timer goes
  settle();
  advance(1000);
  EXPECT_EQ(logger_->deletes(), 2u);
}

TEST_F(DatabaseLoggerTest, RemovalSavesWhatIsPending) {
  log("pending", 3);
  LKLog::removeLogger(logger_);
  LKLog::flushLog();
  settle();
  EXPECT_EQ(logger_->saved(), 3u);
  EXPECT_EQ(logger_->saveThreshold(), 500u);
  EXPECT_DOUBLE_EQ(logger_->saveInterval(), 60);
  EXPECT_DOUBLE_EQ(logger_->deleteInterval(), 300);
  EXPECT_FALSE(logger_->deleteOnEverySave());
}

}  // namespace
