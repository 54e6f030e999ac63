#include <gtest/gtest.h>

#include "Libraries/Logging/LKLog.h"
#include "Libraries/Logging/LKTTYLogger.h"

namespace {

class TTYLoggerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    LKLog::removeAllLoggers();
    LKLog::flushLog();
  }
  // What the logger wrote to standard error for one record.
  static std::string output(const std::shared_ptr<LKTTYLogger>& logger, uint64_t flag, int64_t context,
                            const std::string& text, const ns::Value* tag = nullptr) {
    LKLog::addLogger(logger);
    LKLog::flushLog();
    ::testing::internal::CaptureStderr();
    LKLog::log(false, 7, flag, context, "/src/NTData.m", "save", 1, tag, "%@", text);
    std::string out = ::testing::internal::GetCapturedStderr();
    LKLog::removeLogger(logger);
    LKLog::flushLog();
    return out;
  }
  static std::string esc(const std::string& code) { return "\x1b[" + code; }
};

TEST_F(TTYLoggerTest, DefaultColoursByProfileOfTheTerminal) {
  struct Case {
    LKTerminalMode mode;
    uint64_t flag;
    std::string prefix;
    std::string reset;
  } cases[] = {
      {LKTerminalMode::Colors16, LKLogFlagError, esc("31m"), esc("0m")},
      {LKTerminalMode::Colors16, LKLogFlagWarning, esc("33m"), esc("0m")},
      {LKTerminalMode::Colors16, LKLogFlagInfo, "", ""},
      {LKTerminalMode::Colors256, LKLogFlagError, esc("38;5;"), esc("0m")},
      {LKTerminalMode::None, LKLogFlagError, "", ""},
      {LKTerminalMode::IDEColors, LKLogFlagError, esc("fg214,57,30;"), "\x1b[;"},
  };
  for (const auto& c : cases) {
    ::testing::internal::CaptureStderr();
    auto logger = LKTTYLogger::createWithMode(c.mode);
    ::testing::internal::GetCapturedStderr();
    logger->setColorsEnabled(true);
    EXPECT_TRUE(logger->colorsEnabled());
    std::string out = output(logger, c.flag, 0, "Saved");
    EXPECT_EQ(out.substr(0, c.prefix.size()), c.prefix) << static_cast<int>(c.mode) << " " << c.flag;
    if (c.prefix.empty()) {
      EXPECT_NE(out[0], '\x1b');
    }
    EXPECT_EQ(out.substr(out.size() - c.reset.size()), c.reset);
    EXPECT_NE(out.find("] Saved\n"), std::string::npos) << out;
  }
}

TEST_F(TTYLoggerTest, NearestColourCodesIn16And256Colours) {
  struct Case {
    LKTerminalMode mode;
    LKColor color;
    std::string code;
  } cases[] = {
      {LKTerminalMode::Colors16, LKColor::fromBytes(214, 57, 30), "31m"},
      {LKTerminalMode::Colors16, LKColor::fromBytes(250, 60, 30), "1;31m"},
      {LKTerminalMode::Colors16, LKColor::fromBytes(0, 0, 0), "30m"},
      {LKTerminalMode::Colors256, LKColor::fromBytes(88, 51, 255), "38;5;21m"},
      {LKTerminalMode::Colors256, LKColor::fromBytes(42, 128, 37), "38;5;22m"},
      {LKTerminalMode::Colors256, LKColor::fromBytes(255, 255, 255), "38;5;231m"},
      {LKTerminalMode::Colors256, LKColor::fromBytes(52, 53, 53), "38;5;232m"},
  };
  for (const auto& c : cases) {
    LKTTYLoggerColorProfile profile(c.color, std::nullopt, LKLogFlagError, 0, c.mode);
    EXPECT_EQ(profile.fgCodeRaw, c.code) << profile.description();
    EXPECT_EQ(profile.fgCode, esc(c.code));
    EXPECT_TRUE(profile.bgCode.empty());
  }
  EXPECT_EQ(LKColorTable::colors256().colors.size(), 240u);
  EXPECT_EQ(LKColorTable::colors16().foregroundCodes[15], "1;37m");
  LKTTYLoggerColorProfile none(LKColor::fromBytes(214, 57, 30), LKColor::fromBytes(0, 0, 0), 1, 0,
                               LKTerminalMode::None);
  EXPECT_TRUE(none.fgCode.empty() && none.bgCode.empty() && none.resetCode.empty());
}

TEST_F(TTYLoggerTest, ContextProfileBeatsEveryContextAndTagsBeatFlags) {
  ::testing::internal::CaptureStderr();
  auto logger = LKTTYLogger::createWithMode(LKTerminalMode::Colors16);
  ::testing::internal::GetCapturedStderr();
  logger->setColorsEnabled(true);
  logger->setForegroundColor(LKColor::fromBytes(37, 188, 36), std::nullopt, LKLogFlagInfo);  // 32m, every context
  logger->setForegroundColor(LKColor::fromBytes(73, 46, 225), std::nullopt, LKLogFlagInfo, 5);  // 34m
  ns::Value tag("backup");
  logger->setForegroundColorForTag(LKColor::fromBytes(51, 187, 200), std::nullopt, tag);  // 36m
  EXPECT_EQ(output(logger, LKLogFlagInfo, 5, "x").substr(0, 5), esc("34m"));
  EXPECT_EQ(output(logger, LKLogFlagInfo, 6, "x").substr(0, 5), esc("32m"));
  EXPECT_EQ(output(logger, LKLogFlagInfo, 5, "x", &tag).substr(0, 5), esc("36m"));
  logger->clearColorsForFlag(LKLogFlagInfo);  // context 0: nothing of ours
  EXPECT_EQ(output(logger, LKLogFlagInfo, 6, "x").substr(0, 5), esc("32m"));
  logger->clearColorsForFlag(LKLogFlagInfo, LKTTYLoggerColorProfile::kEveryContext);
  EXPECT_NE(output(logger, LKLogFlagInfo, 6, "x")[0], '\x1b');
  logger->clearAllColors();
  EXPECT_NE(output(logger, LKLogFlagError, 0, "x")[0], '\x1b');
}

class Upper : public LKLogFormatter {
 public:
  std::optional<std::string> formatLogMessage(const LKLogMessage& m) override { return "<" + m.message() + ">"; }
};

TEST_F(TTYLoggerTest, LineLayoutNewlinesAndLongLines) {
  ::testing::internal::CaptureStderr();
  auto logger = LKTTYLogger::createWithMode(LKTerminalMode::None);
  ::testing::internal::GetCapturedStderr();
  std::string out = output(logger, LKLogFlagInfo, 0, "ends\n");
  EXPECT_EQ(out.substr(out.size() - 7), "] ends\n");
  EXPECT_EQ(out.find(std::string("Logging_tests[") + std::to_string(::getpid()) + ":"), 24u) << out;
  EXPECT_EQ(out[4], '-');
  EXPECT_EQ(out.substr(19, 1), ":");

  std::string big(4096 - 1, 'x');
  out = output(logger, LKLogFlagInfo, 0, big + "\n");
  EXPECT_NE(out.find(big + "\n"), std::string::npos);

  logger->setLogFormatter(std::make_shared<Upper>());
  EXPECT_EQ(output(logger, LKLogFlagInfo, 0, "m"), "<m>\n");
  logger->setAutomaticallyAppendNewlineForCustomFormatters(false);
  EXPECT_EQ(output(logger, LKLogFlagInfo, 0, "m"), "<m>");
}

TEST_F(TTYLoggerTest, OnlyOneLoggerOnceTheSharedOneExists) {
  ::testing::internal::CaptureStderr();
  auto& shared = LKTTYLogger::sharedInstance();
  ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(shared);
  EXPECT_EQ(shared, LKTTYLogger::sharedInstance());
  EXPECT_EQ(LKTTYLogger::create(), nullptr);
  EXPECT_EQ(shared->loggerQueue()->label(), "logkit.ttyLogger");
}

}  // namespace
