// The kit's log lines reach the crash reporter's user log through the real
// logging core; reports and events are recorded where they belong.
#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/DodevadarudLogger.h"
#include "Libraries/AppSupportKit/TXLogFormatter.h"
#include "Libraries/CrashReporter/testing/DodevadarudCallRecorder.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Libraries/Logging/LKLog.h"
#include "Libraries/Measurement/Core/testing/VOZIzizuzoveCallRecorder.h"
#include "Platform/Foundation/TimeZone.h"

namespace {

LKLogMessage record(uint64_t flag, std::string text = "Saved") {
  return LKLogMessage::withMessage(std::move(text), LKLogLevelAll, flag, 0, "/src/Notes/NTData.cc",
                                   "NTData::save", 42, nullptr, 0, ns::Date(0.25));
}

TEST(TXLogFormatterTest, PiecesInOrderEachOnlyWhenAskedFor) {
  ns::TimeZone::setDefault(ns::TimeZone::utc());
  LKLogMessage message = record(LKLogFlagWarning);
  const std::string thread = "[" + message.threadID() + "] ";
  struct Case {
    bool timestamp, thread, function, level;
    std::string expected;
  } cases[] = {
      {false, false, false, false, "Saved"},
      {false, true, true, false, thread + "NTData::save,42: Saved"},
      {true, false, false, false, "00:00:00.250 Saved"},
      {false, false, false, true, "\U0001F536 Saved"},
      {true, true, true, true, "00:00:00.250 " + thread + "NTData::save,42: \U0001F536 Saved"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(TXLogFormatter(c.timestamp, c.thread, c.function, c.level).formatLogMessage(message), c.expected);
  }
  ns::TimeZone::resetDefault();
}

TEST(TXLogFormatterTest, LevelMarks) {
  TXLogFormatter formatter(false, false, false, true);
  const std::pair<uint64_t, std::string> marks[] = {
      {LKLogFlagError, "\U0001F6D1 "},      {LKLogFlagWarning, "\U0001F536 "}, {LKLogFlagInfo, "\U0001F537 "},
      {LKLogFlagDebug, "\u25FE\uFE0F "},   {LKLogFlagVerbose, "\u25FD\uFE0F "},
      {LKLogFlagError | LKLogFlagWarning, " "}, {0, " "},
  };
  for (const auto& [flag, mark] : marks) EXPECT_EQ(formatter.formatLogMessage(record(flag, "x")), mark + "x") << flag;
}

class LogBridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dvcr_testing::DodevadarudCallRecorder::shared().clearRecords();
    msr_testing::VOZIzizuzoveCallRecorder::shared().clearRecords();
    LKLog::addLogger(logger(), LKLogLevelAll);
  }
  void TearDown() override {
    LKLog::removeLogger(logger());
    logger()->setLogFormatter(nullptr);
  }
  static std::shared_ptr<LKLogger> logger() { return DodevadarudLogger::sharedInstance(); }
  static std::vector<std::string> userLog() {
    LKLog::flushLog();
    return dvcr_testing::DodevadarudCallRecorder::shared().userLog();
  }
};

TEST_F(LogBridgeTest, LinesReachTheUserLogFormatted) {
  LKLog::log(false, LKLogLevelAll, LKLogFlagDebug, 0, __FILE__, "bare", 7, nullptr, std::string("plain line"));
  logger()->setLogFormatter(std::make_shared<TXLogFormatter>(false, false, true, true));
  LKLog::log(true, LKLogLevelAll, LKLogFlagInfo, 0, __FILE__, "formatted", 8, nullptr, std::string("with pieces"));
  EXPECT_EQ(userLog(), (std::vector<std::string>{"plain line", "formatted,8: \U0001F537 with pieces"}));
}

TEST_F(LogBridgeTest, EventsGoToAnalyticsAndTheLog) {
  unsigned line = __LINE__ + 1;
  QB_EVENT("Rate", (ns::Dictionary{{"choice", ns::Value("later")}}));
  QB_EVENT("More_Apps_Click", std::nullopt);
  auto events = msr_testing::VOZIzizuzoveCallRecorder::shared().recordedEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].name, "Rate");
  EXPECT_EQ(events[0].parameters, (ns::Dictionary{{"choice", ns::Value("later")}}));
  EXPECT_FALSE(events[1].parameters);

  auto lines = userLog();
  ASSERT_EQ(lines.size(), 2u);
  std::string prefix = "** EVENT ** | log_bridge_test.cc:" + std::to_string(line) + " | ";
  EXPECT_EQ(lines[0].substr(0, prefix.size()), prefix);
  EXPECT_NE(lines[0].find(" | Rate "), std::string::npos);
  EXPECT_NE(lines[0].find("later"), std::string::npos);
  EXPECT_EQ(lines[1].substr(lines[1].size() - 22), "More_Apps_Click (null)");
}

TEST_F(LogBridgeTest, ReportsAreRecordedAndLoggedBeforeTheCallerGoesOn) {
  unsigned line = __LINE__ + 1;
  QB_REPORT("Backup is already in progress");
  // Synchronous: the line is there without a flush.
  auto lines = dvcr_testing::DodevadarudCallRecorder::shared().userLog();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("** ERROR ** | log_bridge_test.cc:" + std::to_string(line) + " | ", 0), 0u);
  ns::Error error = dvcr_testing::DodevadarudCallRecorder::shared().recordedErrors().at(0);
  EXPECT_EQ(error.domain(), "log_bridge_test.cc");
  EXPECT_EQ(error.code(), line);
  EXPECT_EQ(error.localizedDescription(), "Backup is already in progress");

  ns::Exception exception(ns::kRangeException, "index 3 beyond bounds");
  QB_REPORT(exception);
  ZOVExceptionModel model = dvcr_testing::DodevadarudCallRecorder::shared().recordedExceptions().at(0);
  ASSERT_EQ(model.stackTrace().size(), exception.callStackReturnAddresses().size());
  for (size_t i = 0; i < model.stackTrace().size(); ++i)
    EXPECT_EQ(model.stackTrace()[i].address, exception.callStackReturnAddresses()[i]);
  EXPECT_EQ(dvcr_testing::DodevadarudCallRecorder::shared().userLog().at(1).rfind("** EXCEPTION (NSRangeException) ** | ", 0), 0u);
}

}  // namespace
