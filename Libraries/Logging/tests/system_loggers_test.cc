#include <gtest/gtest.h>
#include <syslog.h>

#include "Libraries/Logging/LKASLLogCapture.h"
#include "Libraries/Logging/LKASLLogger.h"
#include "Libraries/Logging/LKLog.h"
#include "Libraries/Logging/LKOSLogger.h"
#include "Libraries/Logging/tests/LogFileTesting.h"
#include "Libraries/Logging/tests/RecordingLogger.h"
#include "Platform/SystemLog/LegacyLogStore.h"

namespace {

class SystemLoggersTest : public ::testing::Test {
 protected:
  void SetUp() override { systemlog::LegacyLogStore::shared().clear(); }
  void TearDown() override {
    LKASLLogCapture::stop();
    LKASLLogCapture::setCaptureLevel(LKLogLevelVerbose);
    LKLog::removeAllLoggers();
    LKLog::flushLog();
    systemlog::Log::setSinkForTesting(nullptr);
  }
  static void log(uint64_t flag, const std::string& text, const char* file = "/src/NTData.m") {
    LKLog::log(false, 7, flag, 0, file, "save", 1, nullptr, "%@", text);
  }
};

TEST_F(SystemLoggersTest, SystemLoggerPicksTheTypeByFlag) {
  std::vector<std::pair<int, std::string>> lines;
  std::mutex mutex;
  systemlog::Log::setSinkForTesting([&](int p, const std::string& l) {
    std::lock_guard lock(mutex);
    lines.emplace_back(p, l);
  });
  int old = ::setlogmask(LOG_UPTO(LOG_DEBUG));
  auto logger = LKOSLogger::create("com.quillbox", "notes");
  EXPECT_EQ(logger->loggerName(), "logkit.osLogger");
  LKLog::addLogger(logger);
  log(LKLogFlagError, "e");
  log(LKLogFlagWarning, "w");
  log(LKLogFlagInfo, "i");
  log(LKLogFlagDebug, "d");
  log(LKLogFlagVerbose, "v");
  log(LKLogFlagError, "captured", "LKASLLogCapture");
  ::setlogmask(old);
  std::vector<std::pair<int, std::string>> expected = {
      {LOG_ERR, "[com.quillbox:notes] e"},  {LOG_INFO, "[com.quillbox:notes] w"},
      {LOG_INFO, "[com.quillbox:notes] i"}, {LOG_DEBUG, "[com.quillbox:notes] d"},
      {LOG_DEBUG, "[com.quillbox:notes] v"}};
  EXPECT_EQ(lines, expected);
}

TEST_F(SystemLoggersTest, LegacyLoggerSendsLevelsAndItsMark) {
  ASSERT_TRUE(LKASLLogger::sharedInstance());
  EXPECT_EQ(LKASLLogger::create(), nullptr);
  LKLog::addLogger(LKASLLogger::sharedInstance());
  log(LKLogFlagError, "e");
  log(LKLogFlagWarning, "w");
  log(LKLogFlagInfo, "i");
  log(LKLogFlagVerbose, "v");
  log(LKLogFlagInfo, "again", "LKASLLogCapture");
  auto messages = systemlog::LegacyLogStore::shared().search({});
  ASSERT_EQ(messages.size(), 4u);
  const char* levels[] = {"2", "3", "4", "5"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(messages[i].at("Level"), levels[i]);
    EXPECT_EQ(messages[i].at("LKLog"), "1");
    EXPECT_EQ(messages[i].at("ReadUID"), std::to_string(::geteuid()));
  }
  EXPECT_EQ(messages[0].at("Message"), "e");
}

TEST_F(SystemLoggersTest, CaptureTurnsForeignMessagesIntoRecordsOnce) {
  auto recorder = std::make_shared<RecordingLogger>();
  LKLog::addLogger(recorder);
  LKLog::addLogger(LKASLLogger::sharedInstance());
  LKASLLogCapture::start();
  auto& store = systemlog::LegacyLogStore::shared();
  // The capture registers on a background queue: wait until it listens.
  ASSERT_TRUE(eventually([&] {
    store.send({{"Level", "4"}, {"Message", "probe"}});
    LKLog::flushLog();
    return !recorder->records().empty();
  }));
  size_t stored = store.search({}).size();
  store.send({{"Level", "4"}, {"Message", "from elsewhere"}, {"TimeNanoSec", "500000000"}});
  auto named = [&](const std::string& text) {
    std::vector<LKLogMessage> found;
    for (auto& r : recorder->records()) {
      if (r.message() == text) found.push_back(r);
    }
    return found;
  };
  ASSERT_TRUE(eventually([&] {
    LKLog::flushLog();
    return !named("from elsewhere").empty();
  }));
  ASSERT_EQ(named("from elsewhere").size(), 1u);
  LKLogMessage record = named("from elsewhere")[0];
  EXPECT_EQ(record.flag(), LKLogFlagInfo);
  EXPECT_EQ(record.fileName(), "LKASLLogCapture");
  // Not written back to the service by its own logger.
  EXPECT_EQ(store.search({}).size(), stored + 1);

  LKASLLogCapture::setCaptureLevel(LKLogLevelError);
  store.send({{"Level", "4"}, {"Message", "ignored"}});
  store.send({{"Level", "1"}, {"Message", "serious"}});
  ASSERT_TRUE(eventually([&] {
    LKLog::flushLog();
    return !named("serious").empty();
  }));
  EXPECT_TRUE(named("ignored").empty());
  EXPECT_EQ(named("serious")[0].flag(), LKLogFlagError);
}

}  // namespace
