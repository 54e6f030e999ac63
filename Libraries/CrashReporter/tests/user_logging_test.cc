// The user's keys, log lines and errors in a real report folder, each file
// read back by a second reader (UserLoggingRecords.h): compaction and its
// limits, the A/B files of logs and errors, and lines whole under threads.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Libraries/CrashReporter/DVCRUserLogging.h"
#include "Libraries/CrashReporter/DVCRUserLoggingKeys.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"
#include "Libraries/CrashReporter/tests/UserLoggingRecords.h"
#include "Libraries/TelemetryFoundation/testing/ZULLoggerTesting.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/SystemLog/LegacyLogStore.h"

namespace dvcr_testing {
namespace {

constexpr double kNow = 1'700'000'000.25;  // 2023-11-14, milliseconds 1700000000250

class UserLoggingTest : public CrashContextTest {
 protected:
  void SetUp() override {
    CrashContextTest::SetUp();
    ns::Clock::useVirtual(ns::Date::fromUnixTime(kNow));
    systemlog::LegacyLogStore::shared().clear();
  }
  void TearDown() override {
    CrashContextTest::TearDown();
    ns::Clock::useReal();
  }

  bool exists(const std::string& name) const {
    drainLoggingQueue();
    return ::access(reportFile(name).c_str(), F_OK) == 0;
  }
  std::vector<std::string> records(const std::string& name) {
    drainLoggingQueue();
    return exists(name) ? decodedRecords(reportFile(name)) : std::vector<std::string>{};
  }
  ns::Dictionary userKeys() {
    drainLoggingQueue();
    return DVCRUserLoggingGetCompactedKVEntries(&readonly_->logging.userKVStorage, true);
  }
  const char* activeErrorPath() {
    drainLoggingQueue();
    std::lock_guard<std::mutex> lock(DVCRUserLoggingLock());
    return writable_->logging.activeErrorPath;
  }
  // The crash reporter's warnings through the core logger.
  static std::vector<std::string> coreWarnings() {
    ZULLoggerWaitForWritesForTesting();
    std::vector<std::string> out;
    for (auto& line : systemlog::LegacyLogStore::shared().search({})) out.push_back(line["Message"]);
    return out;
  }
};

TEST_F(UserLoggingTest, NothingIsRecordedBeforeTheContextIsReady) {
  DVCRUserLoggingSetUserKey("early", ns::Value("1"));
  DVCRUserLoggingRecordErrorEvent(ns::Error("early", 1));
  DVCRLog("early %d", 1);
  buildContext();
  EXPECT_TRUE(records("user_incremental_kv.dvrecord").empty());
  EXPECT_TRUE(records("errors_a.dvrecord").empty());
  EXPECT_TRUE(records("log_a.dvrecord").empty());
  auto warnings = coreWarnings();
  ASSERT_FALSE(warnings.empty());
  EXPECT_NE(warnings.back().find("DVCRLog has been used before (or concurrently with) Dodevadarud initialization "
                                 "and cannot be recorded. The message was: \nearly 1"),
            std::string::npos);
}

TEST_F(UserLoggingTest, AKeyWritten70TimesCompactsOnceAt64) {
  buildContext();
  for (int i = 0; i < 70; ++i) DVCRUserLoggingSetUserKey("color", ns::Value("v" + std::to_string(i)));
  EXPECT_EQ(records("user_compacted_kv.dvrecord"), std::vector<std::string>{"kv color=v63"});
  auto incremental = records("user_incremental_kv.dvrecord");
  ASSERT_EQ(incremental.size(), 6u) << "the incremental file was removed, then refilled";
  EXPECT_EQ(incremental.front(), "kv color=v64");
  EXPECT_EQ(userKeys(), (ns::Dictionary{{"color", ns::Value("v69")}}));
}

TEST_F(UserLoggingTest, ValuesAreStoredAsTheirDescriptionAndANullRemovesAndCompactsAtOnce) {
  buildContext();
  DVCRUserLoggingSetUserKeys(ns::Dictionary{{"count", ns::Value(int64_t{42})}, {"name", ns::Value("ü\"x")}});
  EXPECT_EQ(records("user_incremental_kv.dvrecord"), (std::vector<std::string>{"kv count=42", "kv name=ü\"x"}));
  DVCRUserLoggingSetUserKey("count", ns::Value());
  EXPECT_FALSE(exists("user_incremental_kv.dvrecord"));
  EXPECT_EQ(records("user_compacted_kv.dvrecord"), std::vector<std::string>{"kv name=ü\"x"});
  EXPECT_EQ(userKeys(), (ns::Dictionary{{"name", ns::Value("ü\"x")}}));

  DVCRUserLoggingSetInternalKey("com.dodevadarud.user-id", ns::Value("u-1"));
  EXPECT_EQ(records("internal_incremental_kv.dvrecord"), std::vector<std::string>{"kv com.dodevadarud.user-id=u-1"});
}

TEST_F(UserLoggingTest, CompactionKeepsAtMostTheMaximumAndLogsTheCut) {
  UserLoggingLimits limits;
  limits.maxCustomKeys = 2;
  buildContext(nullptr, limits);
  DVCRUserLoggingSetUserKeys(ns::Dictionary{{"a", ns::Value("1")}, {"b", ns::Value("2")}, {"c", ns::Value("3")}});
  DVCRUserLoggingSetUserKey("gone", ns::Value());  // a removal forces the compaction
  EXPECT_EQ(records("user_compacted_kv.dvrecord"), (std::vector<std::string>{"kv a=1", "kv b=2"}));
  EXPECT_NE(sdkLog().find("INFO  [DVCRUserLoggingCompactKVEntries:"), std::string::npos) << sdkLog();
  EXPECT_NE(sdkLog().find("] Truncating 1 keys from KV set, which is above max 2\n"), std::string::npos);

  // Until the next compaction the incremental file may hold more.
  DVCRUserLoggingSetUserKeys(ns::Dictionary{{"d", ns::Value("4")}, {"e", ns::Value("5")}});
  EXPECT_EQ(userKeys().size(), 4u);
}

TEST_F(UserLoggingTest, AWriteOfSeveralKeysThatPassesTheLimitStillCompacts) {
  buildContext();
  ns::Dictionary first, second;
  for (int i = 0; i < 60; ++i) first.set("k" + std::to_string(i), ns::Value("x"));
  for (int i = 0; i < 4; ++i) second.set("k" + std::to_string(i), ns::Value("y"));
  second.set("k60", ns::Value("z"));
  DVCRUserLoggingSetUserKeys(first);
  EXPECT_TRUE(exists("user_incremental_kv.dvrecord"));
  DVCRUserLoggingSetUserKeys(second);  // 60 + 5 jumps past 64
  EXPECT_FALSE(exists("user_incremental_kv.dvrecord"));
  EXPECT_EQ(records("user_compacted_kv.dvrecord").size(), 61u);
  EXPECT_EQ(writable_->logging.userKVCount.load(), 0u);
}

TEST_F(UserLoggingTest, ErrorsFillTheirFilesEightAtATime) {
  buildContext();
  ns::Error error("com.example.sync", -5, ns::Dictionary{{"reason", ns::Value("offline")}});
  DVCRUserLoggingRecordErrorEvent(error, ns::Dictionary{{"attempt", ns::Value(int64_t{3})}});
  auto first = records("errors_a.dvrecord");
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].rfind("error com.example.sync -5 @1700000000 frames=", 0), 0u) << first[0];
  EXPECT_NE(first[0].find("frames=0"), 11u);
  EXPECT_NE(first[0].find(" info=reason:offline extra=attempt:3"), std::string::npos) << first[0];

  for (int i = 2; i <= 7; ++i) DVCRUserLoggingRecordErrorEvent(ns::Error("d", i));
  EXPECT_EQ(activeErrorPath(), readonly_->logging.errorStorage.aPath);
  DVCRUserLoggingRecordErrorEvent(ns::Error("d", 8));
  EXPECT_EQ(records("errors_a.dvrecord").size(), 8u);
  EXPECT_EQ(activeErrorPath(), readonly_->logging.errorStorage.bPath) << "the 8th fills A";
  EXPECT_FALSE(exists("errors_b.dvrecord"));

  for (int i = 9; i <= 16; ++i) DVCRUserLoggingRecordErrorEvent(ns::Error("d", i));
  auto b = records("errors_b.dvrecord");
  ASSERT_EQ(b.size(), 8u);
  EXPECT_EQ(b.back().rfind("error d 16 ", 0), 0u);
  EXPECT_EQ(b.back().find(" info= extra="), b.back().size() - 13) << "no user info: both left out";
  EXPECT_FALSE(exists("errors_a.dvrecord")) << "the 16th empties A";
  EXPECT_EQ(activeErrorPath(), readonly_->logging.errorStorage.aPath);
}

TEST_F(UserLoggingTest, NoErrorIsWrittenWhenCollectingThemIsOff) {
  UserLoggingLimits limits;
  limits.collectLoggedExceptions = false;
  buildContext(nullptr, limits);
  DVCRUserLoggingRecordErrorEvent(ns::Error("d", 1));
  drainLoggingQueue();
  EXPECT_FALSE(exists("errors_a.dvrecord"));
  EXPECT_FALSE(exists("errors_b.dvrecord"));
}

TEST_F(UserLoggingTest, ALongMessageIsCutToTheLogSizeWithAWarning) {
  buildContext();
  DVCRLog("%@", std::string(70000, 'm'));
  auto lines = records("log_a.dvrecord");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "log " + std::string(64000, 'm') + " @1700000000250");
  auto warnings = coreWarnings();
  ASSERT_FALSE(warnings.empty());
  EXPECT_NE(warnings.back().find("WARNING: Attempted to write 70000 bytes, but 64000 is the maximum size of the log. "
                                 "Truncating to 64000 bytes."),
            std::string::npos)
      << warnings.back();

  // A cut never splits a character.
  DVCRLog("%@", std::string(63999, 'm') + "é");
  EXPECT_EQ(records("log_b.dvrecord"), std::vector<std::string>{"log " + std::string(63999, 'm') + " @1700000000250"})
      << "and the first line, over the limit, moved the log to B";
}

// The second line is written while the check of the first is still queued:
// it must still swap once, not twice (which would empty both files).
TEST_F(UserLoggingTest, TheLogSwapsToAFreshBFileOnceAIsFull) {
  buildContext();
  writeAll(reportFile("log_b.dvrecord"), "{\"log\":{\"msg\":\"6f6c64\",\"time\":1}}\n");  // a previous round's
  // A line is 40 bytes around its hex: leave A 10 bytes under 64,000.
  DVCRLog("%@", std::string((64000 - 10 - 40) / 2, 'a'));
  EXPECT_EQ(sizeOf(reportFile("log_a.dvrecord")), 63990u);
  DVCRLog("still A");
  DVCRLog("now B");
  EXPECT_EQ(records("log_a.dvrecord").size(), 2u);
  EXPECT_EQ(records("log_b.dvrecord"), std::vector<std::string>{"log now B @1700000000250"});
}

TEST_F(UserLoggingTest, EightThreadsLoggingAtOnceLeaveEveryLineWhole) {
  UserLoggingLimits limits;
  limits.logBufferSize = 1'000'000;  // all in one file
  buildContext(nullptr, limits);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 100; ++i) DVCRLog("thread %d line %d %@", t, i, std::string(40, 'x'));
    });
  }
  for (auto& thread : threads) thread.join();
  auto lines = records("log_a.dvrecord");  // every line parsed as JSON
  ASSERT_EQ(lines.size(), 800u);
  for (int t = 0; t < 8; ++t) {
    for (int i = 0; i < 100; ++i) {
      std::string line = "log thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                         std::string(40, 'x') + " @1700000000250";
      EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
  }
}

}  // namespace
}  // namespace dvcr_testing
