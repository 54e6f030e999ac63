#include "Libraries/TelemetryCore/ZOVLogger.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <latch>
#include <thread>

#include "Libraries/TelemetryCore/tests/TelemetryCoreTest.h"

namespace zov_testing {
namespace {

class CoreLoggerTest : public TelemetryCoreTest {};

TEST_F(CoreLoggerTest, TheSetUpRunsOnceWhenSeveralThreadsLogFirst) {
  constexpr int kThreads = 8;
  for (int round = 0; round < 20; ++round) {
    relaunch({});
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&start, t] {
        start.arrive_and_wait();
        ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000099", "thread %d", t);
      });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_EQ(ZOVLoggerSetUpCountForTesting(), 1) << "round " << round;
    std::vector<std::string> lines = loggerMessages();
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads));
    for (const auto& line : lines) {
      EXPECT_EQ(line.rfind("10.16.0 - [DozaveveCore][I-COR000099] thread ", 0), 0u)
          << "every caller waited for the version: " << line;
    }
  }
}

TEST_F(CoreLoggerTest, DebugSwitchesAcrossLaunchesOfOneDevice) {
  struct Launch {
    std::vector<std::string> arguments;
    bool debugForced;
    bool stored;  // "/zorori/dozaveve/debug_mode" after the launch
  } launches[] = {
      {{}, false, false},
      {{"-ZOVDebugEnabled"}, true, true},
      {{}, true, true},  // persisted
      {{"-SomeOtherArgument"}, true, true},
      {{"-ZOVDebugEnabled", "-ZOVDebugDisabled"}, false, false},  // disabled wins over argument and default
      {{}, false, false},
      {{"-ZOVDebugEnabled"}, true, true},
      {{"-ZOVDebugDisabled"}, false, false},
      {{"-ZOVDebugDisabled", "-ZOVDebugEnabled"}, false, false},
  };
  int n = 0;
  for (const auto& launch : launches) {
    SCOPED_TRACE("launch " + std::to_string(n++));
    relaunch(launch.arguments);
    ZOVLogAtDebugLevel(kZOVLoggerService, "I-COR000098", "debug line");
    EXPECT_EQ(linesWithCode("I-COR000098").size(), launch.debugForced ? 1u : 0u);
    EXPECT_EQ(ZULLoggerIsLoggable(ZULLoggerLevelDebug), launch.debugForced);
    // Read back as the next launch would.
    ns::UserDefaults::resetStandardUserDefaults();
    std::optional<ns::Value> stored = ns::UserDefaults::standardUserDefaults()->objectForKey(kZOVPersistedDebugModeKey);
    if (launch.stored) {
      ASSERT_TRUE(stored && stored->isBool());
      EXPECT_TRUE(stored->boolValue());
    } else {
      EXPECT_FALSE(stored.has_value()) << stored->description();
    }
  }
}

TEST_F(CoreLoggerTest, ForcedDebugStaysOffInAStoreInstall) {
  ns::DeviceFacts facts;
  facts.executableEncrypted = true;
  useApp({}, {}, facts);
  relaunch({"-ZOVDebugEnabled"});
  ZOVLogAtDebugLevel(kZOVLoggerService, "I-COR000098", "debug line");
  EXPECT_TRUE(linesWithCode("I-COR000098").empty());
  EXPECT_TRUE(ns::UserDefaults::standardUserDefaults()->boolForKey(kZOVPersistedDebugModeKey))
      << "the switch is still remembered";
}

TEST_F(CoreLoggerTest, LinesGoToStandardErrorOnlyWhenAsked) {
  for (bool asked : {false, true}) {
    relaunch(asked ? std::vector<std::string>{"-ZOVLoggerForceSTDERR"} : std::vector<std::string>{});
    char path[] = "/tmp/zov-stderr-XXXXXX";
    int file = ::mkstemp(path);
    ASSERT_GE(file, 0);
    int saved = ::dup(2);
    ::dup2(file, 2);
    ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000097", "to standard error: %@", "yes");
    ZULLoggerWaitForWritesForTesting();
    ::dup2(saved, 2);
    ::close(saved);
    ::close(file);
    std::ifstream in(path);
    std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ::unlink(path);
    EXPECT_EQ(written, asked ? "10.16.0 - [DozaveveCore][I-COR000097] to standard error: yes\n" : "");
    EXPECT_EQ(linesWithCode("I-COR000097").size(), 1u) << "the log has it either way";
  }
}

TEST_F(CoreLoggerTest, TheWrapperWritesAMessageAsItStands) {
  ZOVLoggerWrapper::logWithLevel(3, "[DozaveveSessions]", "I-SES000001", "100% done, %@ %d %s");
  const ns::FormatArg args[] = {ns::FormatArg("sessions"), ns::FormatArg(2)};
  ZOVLoggerWrapper::logWithLevel(4, "[DozaveveSessions]", "I-SES000002", "%@ at %d%%", args);
  ZOVLoggerWrapper::logWithLevel(6, "[DozaveveSessions]", "I-SES000003", "below the level");
  ZOVLoggerApplyLevel(ZULLoggerLevelInfo);
  ZOVLoggerWrapper::logWithLevel(6, "[DozaveveSessions]", "I-SES000004", "at the new level");

  auto lines = loggerLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]["Message"], "10.16.0 - [DozaveveSessions][I-SES000001] 100% done, %@ %d %s");
  EXPECT_EQ(lines[0]["Level"], "3");
  EXPECT_EQ(lines[1]["Message"], "10.16.0 - [DozaveveSessions][I-SES000002] sessions at 2%");
  EXPECT_EQ(lines[2]["Message"], "10.16.0 - [DozaveveSessions][I-SES000004] at the new level");
}

}  // namespace
}  // namespace zov_testing
