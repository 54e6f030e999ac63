#include "Libraries/TelemetryFoundation/ZULLogger.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fcntl.h>

#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"
#include "Libraries/TelemetryFoundation/ZULLoggerWrapper.h"
#include "Libraries/TelemetryFoundation/tests/ZULTestEnvironment.h"

namespace zul_testing {
namespace {

class LoggerTest : public ZULEnvironmentTest {
 protected:
  void SetUp() override { useDevice({}); }

  void useStoreInstall() {
    ns::DeviceFacts facts;
    facts.executableEncrypted = true;
    useDevice(facts);
    ASSERT_TRUE(ZULAppEnvironmentUtil::isFromAppStore());
  }
  // The current level, as seen through ZULLoggerIsLoggable.
  static long currentLevel() {
    long level = 2;
    while (level < 8 && ZULLoggerIsLoggable(level + 1)) ++level;
    return level;
  }
};

TEST_F(LoggerTest, SettingTheLevel) {
  struct Case {
    bool storeInstall;
    long level;
    long expected;
    bool refused;  // with the error line
  } cases[] = {
      {false, 2, 5, true}, {false, 8, 5, true}, {false, 3, 3, false}, {false, 4, 4, false}, {false, 6, 6, false},
      {false, 7, 7, false}, {true, 6, 5, false}, {true, 7, 5, false}, {true, 5, 5, false}, {true, 4, 4, false},
      {true, 3, 3, false},
  };
  for (const auto& c : cases) {
    if (c.storeInstall) {
      useStoreInstall();
    } else {
      useDevice({});
    }
    ASSERT_EQ(currentLevel(), 5);
    ZULLoggerSetLevel(c.level);
    EXPECT_EQ(currentLevel(), c.expected) << "level " << c.level << (c.storeInstall ? " in a store install" : "");
    std::vector<std::string> lines = loggerMessages();
    if (c.refused) {
      EXPECT_EQ(lines, std::vector<std::string>{" - [ZULLogger][I-COR000023] Invalid logger level, " +
                                                std::to_string(c.level)});
      EXPECT_EQ(loggerLines().at(0)["Level"], "3");
    } else {
      EXPECT_TRUE(lines.empty()) << lines.front();
    }
  }
}

TEST_F(LoggerTest, WhichLinesPass) {
  auto debugLinePasses = [](bool force) {
    systemlog::LegacyLogStore::shared().clear();
    ZULLoggerLogDebug("[Test]", force, "I-TST000001", "debug");
    ZULLoggerLogError("[Test]", false, "I-TST000002", "error");
    auto lines = loggerMessages();
    EXPECT_EQ(lines.back(), " - [Test][I-TST000002] error") << "an error line always passes";
    return lines.size() == 2;
  };
  EXPECT_TRUE(ZULLoggerIsLoggable(5));
  EXPECT_FALSE(ZULLoggerIsLoggable(6));
  EXPECT_FALSE(debugLinePasses(false));
  // `force` passes the level test only: the client's own mask (levels 0 to
  // 5 by default) still drops a debug line.
  EXPECT_FALSE(debugLinePasses(true)) << "force does not pass the client's mask";

  ZULLoggerSetLevel(4);
  systemlog::LegacyLogStore::shared().clear();
  ZULLoggerLogNotice("[Test]", false, "I-TST000003", "notice");
  ZULLoggerLogNotice("[Test]", true, "I-TST000005", "forced notice");
  ZULLoggerLogWarning("[Test]", false, "I-TST000004", "warning");
  EXPECT_EQ(loggerMessages(), std::vector<std::string>{" - [Test][I-TST000004] warning"})
      << "the mask follows the level";

  ZULLoggerForceDebugOutsideAppStore();
  EXPECT_TRUE(ZULLoggerIsLoggable(7));
  EXPECT_TRUE(debugLinePasses(false)) << "forced debug raises the level and the mask to debug";
  EXPECT_TRUE(debugLinePasses(true));
  ZULLoggerSetLevel(3);
  EXPECT_TRUE(ZULLoggerIsLoggable(7)) << "forced debug passes every level test";
  EXPECT_FALSE(debugLinePasses(false)) << "but not the mask of a level set later";
  EXPECT_FALSE(debugLinePasses(true));

  useStoreInstall();
  ZULLoggerForceDebugOutsideAppStore();
  EXPECT_FALSE(ZULLoggerIsLoggable(6));
  EXPECT_FALSE(debugLinePasses(false)) << "a store install stays quiet";
}

TEST_F(LoggerTest, LineFormat) {
  ZULLoggerSetVersion("10.16.0");
  ZULLoggerLogError("[ZULNetwork]", false, "I-NET000007", "Request %@ failed: %ld", "upload", 404L);
  ZULLoggerLogWarning("[ZULNetwork]", false, "I-NET000008", "100% of %@ in %d%s");
  ZULLoggerWrapper::logWithLevel(4, "[Wrapper]", "I-WRP000001", "50% %s", std::nullopt);
  const ns::FormatArg args[] = {ns::FormatArg("done")};
  ZULLoggerWrapper::logWithLevel(4, "[Wrapper]", "I-WRP000002", "50%% %s", args);
  ZULLoggerWrapper::logWithLevel(6, "[Wrapper]", "I-WRP000003", "never forced", std::nullopt);

  auto lines = loggerLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0]["Message"], "10.16.0 - [ZULNetwork][I-NET000007] Request upload failed: 404");
  EXPECT_EQ(lines[0]["Level"], "3");
  EXPECT_EQ(lines[0]["Facility"], "com.zorori.utilities.logger");
  EXPECT_EQ(lines[1]["Message"], "10.16.0 - [ZULNetwork][I-NET000008] 100% of %@ in %d%s") << "no arguments: kept as is";
  EXPECT_EQ(lines[1]["Level"], "4");
  EXPECT_EQ(lines[2]["Message"], "10.16.0 - [Wrapper][I-WRP000001] 50% %s");
  EXPECT_EQ(lines[3]["Message"], "10.16.0 - [Wrapper][I-WRP000002] 50% done");
}

TEST_F(LoggerTest, LinesFromManyThreadsKeepEachThreadsOrder) {
  constexpr int kThreads = 8;
  constexpr int kLines = 250;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) ZULLoggerLogNotice("[T]", false, "I-TST000005", "%d %d", t, i);
    });
  }
  for (auto& thread : threads) thread.join();
  auto lines = loggerMessages();
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
  std::map<int, int> next;
  for (const auto& line : lines) {
    std::istringstream in(line.substr(line.find("] ") + 2));
    int t = -1, i = -1;
    in >> t >> i;
    ASSERT_EQ(i, next[t]) << line;
    next[t] = i + 1;
  }
}

TEST_F(LoggerTest, StandardErrorOnceAdded) {
  char path[] = "/tmp/zul-stderr-XXXXXX";
  int file = ::mkstemp(path);
  ASSERT_GE(file, 0);
  int saved = ::dup(2);
  ::dup2(file, 2);
  ZULLoggerLogError("[Test]", false, "I-TST000006", "before");
  ZULLoggerEnableStandardError();
  ZULLoggerLogError("[Test]", false, "I-TST000007", "after");
  ZULLoggerWaitForWritesForTesting();
  ::dup2(saved, 2);
  ::close(saved);
  ::close(file);
  std::ifstream in(path);
  std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ::unlink(path);
  EXPECT_EQ(written, " - [Test][I-TST000007] after\n");
  EXPECT_EQ(loggerMessages().size(), 2u) << "the store has both";
}

}  // namespace
}  // namespace zul_testing
