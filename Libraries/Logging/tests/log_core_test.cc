#include <gtest/gtest.h>

#include <thread>

#include "Libraries/Logging/LKLog.h"
#include "Libraries/Logging/tests/RecordingLogger.h"
#include "Platform/Foundation/NotificationCenter.h"

namespace {

class LogCoreTest : public ::testing::Test {
 protected:
  void TearDown() override {
    LKLog::removeAllLoggers();
    LKLog::flushLog();
  }
  static void logInfo(const char* text, bool async = false, uint64_t flag = LKLogFlagInfo) {
    LKLog::log(async, LKLogLevelInfo, flag, 0, "/src/Notes/NTData.m", "-[NTData save]", 12, nullptr, "%s", text);
  }
};

TEST_F(LogCoreTest, LevelDecidesWhichLoggerGetsAFlag) {
  struct Case {
    uint64_t level;
    uint64_t flag;
    bool receives;
  } cases[] = {
      {7, LKLogFlagInfo, true},     {LKLogLevelAll, LKLogFlagInfo, true}, {3, LKLogFlagInfo, false},
      {0, LKLogFlagError, false},   {1, LKLogFlagError, true},            {31, LKLogFlagVerbose, true},
      {15, LKLogFlagVerbose, false}, {LKLogFlagDebug, LKLogFlagDebug, true},
  };
  std::vector<std::shared_ptr<RecordingLogger>> loggers;
  for (const auto& c : cases) {
    loggers.push_back(std::make_shared<RecordingLogger>());
    LKLog::addLogger(loggers.back(), c.level);
  }
  for (uint64_t flag : {LKLogFlagError, LKLogFlagWarning, LKLogFlagInfo, LKLogFlagDebug, LKLogFlagVerbose}) {
    logInfo(std::to_string(flag).c_str(), false, flag);
  }
  for (size_t i = 0; i < std::size(cases); ++i) {
    auto lines = loggers[i]->lines();
    bool got = std::find(lines.begin(), lines.end(), std::to_string(cases[i].flag)) != lines.end();
    EXPECT_EQ(got, cases[i].receives) << "level " << cases[i].level << " flag " << cases[i].flag;
  }
}

TEST_F(LogCoreTest, NullFormatQueuesNothing) {
  auto logger = std::make_shared<RecordingLogger>();
  LKLog::addLogger(logger);
  const char* none = nullptr;
  LKLog::log(false, 7, LKLogFlagError, 0, "f", "g", 1, nullptr, none);
  LKLog::log(true, 7, LKLogFlagError, 0, "f", "g", 1, nullptr, none);
  LKLog::flushLog();
  EXPECT_TRUE(logger->records().empty());
}

TEST_F(LogCoreTest, ReadyLineIsNotAFormatAndKeepsTheSourcePosition) {
  auto logger = std::make_shared<RecordingLogger>();
  LKLog::addLogger(logger);
  ns::Value tag("t");
  LKLog::log(false, 7, LKLogFlagError, 0, "/src/Notes/NTData.m", "-[NTData save]", 12, &tag,
             std::string("** ERROR ** | 100%d done"));
  auto records = logger->records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].message(), "** ERROR ** | 100%d done");
  EXPECT_EQ(records[0].fileName(), "NTData");
  EXPECT_EQ(records[0].function(), std::optional<std::string>("-[NTData save]"));
  EXPECT_EQ(records[0].line(), 12u);
  EXPECT_EQ(records[0].flag(), LKLogFlagError);
  ASSERT_TRUE(records[0].tag());
  EXPECT_EQ(*records[0].tag(), tag);
}

// Asynchronous records are written into the storage of spent ones: each
// record still carries only what its own call gave, whatever came before it
// (a longer text, a tag, another thread and queue, another source).
TEST_F(LogCoreTest, AsynchronousRecordsCarryNothingOfEarlierOnes) {
  auto logger = std::make_shared<RecordingLogger>();
  LKLog::addLogger(logger);
  auto queue = dispatch::Queue::serial("test.logging.labelled");
  const std::string longText(5000, 'x');
  ns::Value tag("tagged");
  constexpr int kRounds = 300;  // several batches, so that records come round again
  for (int i = 0; i < kRounds; ++i) {
    std::thread([&] {
      LKLog::log(true, 7, LKLogFlagError, 1, "/src/A/First.m", "-[First long]", 10, &tag, "%s %d", longText.c_str(), i);
    }).join();
    queue->sync([&] { LKLog::log(true, 7, LKLogFlagInfo, 2, "B.cc", "short", 20, nullptr, "%d", i); });
    LKLog::log(true, 7, LKLogFlagWarning, 3, "/C.mm", "-[C ready]", 30, nullptr, std::string("ready"));
  }
  LKLog::flushLog();
  auto records = logger->records();
  ASSERT_EQ(records.size(), 3u * kRounds);
  for (int i = 0; i < kRounds; ++i) {
    const LKLogMessage& first = records[3 * i];
    const LKLogMessage& second = records[3 * i + 1];
    const LKLogMessage& third = records[3 * i + 2];
    EXPECT_EQ(first.message(), longText + " " + std::to_string(i));
    EXPECT_EQ(first.messageFormat(), "%s %d");
    ASSERT_TRUE(first.tag());
    EXPECT_EQ(*first.tag(), tag);
    EXPECT_EQ(first.fileName(), "First");
    EXPECT_TRUE(first.queueLabel().empty());
    EXPECT_FALSE(first.threadName().empty()) << "a thread without a queue is named";

    EXPECT_EQ(second.message(), std::to_string(i));
    EXPECT_EQ(second.messageFormat(), "%d");
    EXPECT_FALSE(second.tag()) << i;
    EXPECT_EQ(second.file(), "B.cc");
    EXPECT_EQ(second.fileName(), "B");
    EXPECT_EQ(second.function(), std::optional<std::string>("short"));
    EXPECT_EQ(second.line(), 20u);
    EXPECT_EQ(second.flag(), LKLogFlagInfo);
    EXPECT_EQ(second.context(), 2);
    EXPECT_EQ(second.queueLabel(), "test.logging.labelled");
    EXPECT_TRUE(second.threadName().empty()) << "a labelled queue names the place";
    EXPECT_NE(second.threadID(), first.threadID());

    EXPECT_EQ(third.message(), "ready");
    EXPECT_EQ(third.messageFormat(), "ready");
    EXPECT_EQ(third.fileName(), "C");
    EXPECT_EQ(third.flag(), LKLogFlagWarning);
    EXPECT_FALSE(third.tag());
    if (::testing::Test::HasFailure()) break;
  }
}

// A thread's own record is gone before the thread's other thread-local
// objects that were made before it: one of them that logs as it goes still
// gets its record through.
TEST_F(LogCoreTest, AThreadLoggingWhileItEndsKeepsItsRecords) {
  auto logger = std::make_shared<RecordingLogger>();
  LKLog::addLogger(logger);
  struct LogsWhenGone {
    ~LogsWhenGone() {
      LKLog::log(true, 7, LKLogFlagInfo, 0, "f.cc", "g", 1, nullptr, "gone, with a line longer than a short string %d", 2);
    }
  };
  std::thread([] {
    thread_local LogsWhenGone goes;
    (void)goes;
    LKLog::log(true, 7, LKLogFlagInfo, 0, "f.cc", "g", 1, nullptr, "here, with a line longer than a short string %d", 1);
  }).join();
  LKLog::flushLog();
  EXPECT_EQ(logger->lines(), (std::vector<std::string>{"here, with a line longer than a short string 1",
                                                   "gone, with a line longer than a short string 2"}));
}

TEST_F(LogCoreTest, RegistrationByLevelAndRemovalOfFirstNode) {
  auto logger = std::make_shared<RecordingLogger>();
  LKLog::addLogger(logger, 7);
  LKLog::addLogger(logger, 7);
  EXPECT_EQ(LKLog::allLoggers().size(), 1u);
  LKLog::addLogger(logger, 1);
  auto infos = LKLog::allLoggersWithLevel();
  ASSERT_EQ(infos.size(), 2u);
  EXPECT_EQ(infos[0].level, 7u);
  EXPECT_EQ(infos[1].level, 1u);
  logInfo("twice", false, LKLogFlagError);
  EXPECT_EQ(logger->lines(), (std::vector<std::string>{"twice", "twice"}));

  LKLog::removeLogger(logger);
  infos = LKLog::allLoggersWithLevel();
  ASSERT_EQ(infos.size(), 1u);
  EXPECT_EQ(infos[0].level, 1u);
}

TEST_F(LogCoreTest, EachLoggerSeesRecordsInOrderFromSyncAndAsyncCalls) {
  auto a = std::make_shared<RecordingLogger>();
  auto b = std::make_shared<RecordingLogger>();
  LKLog::addLogger(a);
  LKLog::addLogger(b, LKLogLevelError);
  std::vector<std::string> expected;
  for (int i = 0; i < 300; ++i) {
    expected.push_back(std::to_string(i));
    logInfo(expected.back().c_str(), i % 3 != 0, LKLogFlagError);
  }
  LKLog::flushLog();
  EXPECT_EQ(a->lines(), expected);
  EXPECT_EQ(b->lines(), expected);
}

TEST_F(LogCoreTest, RegistryChangesKeepTheirPlaceAmongAsynchronousRecords) {
  auto early = std::make_shared<RecordingLogger>();
  LKLog::addLogger(early);
  for (int round = 0; round < 50; ++round) {
    auto logger = std::make_shared<RecordingLogger>();
    logInfo("before", true);
    LKLog::addLogger(logger);
    logInfo("while", true);
    LKLog::removeLogger(logger);
    logInfo("after", true);
    LKLog::flushLog();
    ASSERT_EQ(logger->lines(), std::vector<std::string>{"while"}) << round;
  }
  EXPECT_EQ(early->lines().size(), 150u);
}

TEST_F(LogCoreTest, SynchronousLogFromTheLoggingQueueRunsInline) {
  auto logger = std::make_shared<RecordingLogger>();
  LKLog::addLogger(logger);
  bool returned = false;
  LKLog::loggingQueue()->sync([&] {
    EXPECT_TRUE(LKLog::isOnLoggingQueue());
    logInfo("inline");
    returned = true;
  });
  EXPECT_TRUE(returned);
  EXPECT_FALSE(LKLog::isOnLoggingQueue());
  EXPECT_EQ(logger->lines(), std::vector<std::string>{"inline"});
}

// A logger whose flush takes a while: flushLog must wait for all of them.
class SlowFlushLogger : public RecordingLogger {
 public:
  void flush() override {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    RecordingLogger::flush();
  }
};

TEST_F(LogCoreTest, FlushWaitsForEveryLoggerAndTerminationFlushes) {
  auto a = std::make_shared<SlowFlushLogger>();
  auto b = std::make_shared<SlowFlushLogger>();
  LKLog::addLogger(a);
  LKLog::addLogger(b);
  LKLog::flushLog();
  EXPECT_EQ(a->flushes, 1);
  EXPECT_EQ(b->flushes, 1);
  ns::NotificationCenter::defaultCenter().post(LKLog::kApplicationWillTerminateNotification);
  EXPECT_EQ(a->flushes, 2);
  EXPECT_EQ(b->flushes, 2);
}

// Counts the calls a formatter gets from the logger that uses it.
class CountingFormatter : public LKLogFormatter {
 public:
  std::optional<std::string> formatLogMessage(const LKLogMessage& m) override { return "[" + m.message() + "]"; }
  void didAddToLogger(LKLogger&) override { ++added; }
  void willRemoveFromLogger(LKLogger&) override { ++removed; }
  int added = 0;
  int removed = 0;
};

class FormattingLogger : public RecordingLogger {
 public:
  void logMessage(const LKLogMessage& message) override {
    RecordingLogger::logMessage(message.withReplacedMessage(logFormatter_ ? *logFormatter_->formatLogMessage(message)
                                                                          : message.message()));
  }
};

TEST_F(LogCoreTest, FormatterChangesFollowTheQueueOfRecords) {
  auto logger = std::make_shared<FormattingLogger>();
  auto formatter = std::make_shared<CountingFormatter>();
  LKLog::addLogger(logger);
  logInfo("before", true);
  logger->setLogFormatter(formatter);
  logger->setLogFormatter(formatter);
  logInfo("after", true);
  EXPECT_EQ(logger->logFormatter(), formatter);
  EXPECT_EQ(formatter->added, 1);
  logger->setLogFormatter(nullptr);
  EXPECT_EQ(logger->logFormatter(), nullptr);
  EXPECT_EQ(formatter->added, 1);
  EXPECT_EQ(formatter->removed, 1);
  EXPECT_EQ(logger->lines(), (std::vector<std::string>{"before", "[after]"}));
}

TEST_F(LogCoreTest, LoggerNameIsTheClassNameAndLabelsItsQueue) {
  auto logger = std::make_shared<RecordingLogger>();
  EXPECT_EQ(logger->loggerName(), "RecordingLogger");
  EXPECT_EQ(logger->loggerQueue()->label(), "RecordingLogger");
  EXPECT_FALSE(logger->isOnInternalLoggerQueue());
  bool inside = false;
  logger->loggerQueue()->sync([&] { inside = logger->isOnInternalLoggerQueue(); });
  EXPECT_TRUE(inside);
}

TEST_F(LogCoreTest, UnregisteredClassesHaveEveryLevel) {
  EXPECT_EQ(LKLog::levelForClassWithName("NoSuchClass"), LKLogLevelAll);
  LKLog::setLevelForClassWithName(3, "NoSuchClass");
  EXPECT_FALSE(LKLog::isRegisteredClass("NoSuchClass"));
  uint64_t level = 31;
  LKLog::registerClass({"NTTestClass", [&] { return level; }, [&](uint64_t l) { level = l; }});
  LKLog::setLevelForClassWithName(3, "NTTestClass");
  EXPECT_EQ(LKLog::levelForClassWithName("NTTestClass"), 3u);
  auto names = LKLog::registeredClassNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "NTTestClass"), names.end());
}

}  // namespace
