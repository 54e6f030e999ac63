#include <gtest/gtest.h>

#include <string>

#include "Libraries/CrashReporter/DVCRApplication.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRValueTypes.h"
#include "Libraries/CrashReporter/ZOVExceptionModel.h"
#include "Libraries/CrashReporter/ZOVStackFrame.h"
#include "Libraries/TelemetryCore/tests/TelemetryCoreTest.h"

namespace dvcr_testing {
namespace {

TEST(StackFrameTest, DescriptionsByWhatTheFrameKnows) {
  ZOVStackFrame located = ZOVStackFrame::stackFrameWithAddress(0xabc);
  located.fileName = "Store.cc";
  located.symbol = "save()";
  located.lineNumber = 3;
  struct Case {
    ZOVStackFrame frame;
    std::string description;
  } cases[] = {
      {ZOVStackFrame::stackFrameWithSymbol("main"), "{[0x0 + 0] main}"},
      {ZOVStackFrame::stackFrameWithAddress(0x1f), "{[0x1f + 0] (null)}"},
      {ZOVStackFrame::stackFrameWithSymbol("f()", "a.cc", 12), "{a.cc - f():12}"},
      {located, "{[0xabc] Store.cc - save():3}"},
      {ZOVStackFrame::stackFrame(), "{[0x0 + 0] (null)}"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.frame.description(), c.description);

  ZOVStackFrame symbol = ZOVStackFrame::stackFrameWithSymbol("main");
  EXPECT_EQ(symbol.rawSymbol, "main");
  EXPECT_FALSE(symbol.isSymbolicated);
  EXPECT_TRUE(ZOVStackFrame::stackFrameWithSymbol("f()", "a.cc", 12).isSymbolicated);
  EXPECT_FALSE(ZOVStackFrame::stackFrameWithSymbol("f()", "a.cc", 12).rawSymbol);
}

TEST(ExceptionModelTest, FromAnExceptionOneAddressFramePerReturnAddress) {
  ZOVExceptionModel plain = ZOVExceptionModel::exceptionModelWithName("Name", "Reason");
  EXPECT_EQ(plain.name(), "Name");
  EXPECT_EQ(plain.reason(), "Reason");
  EXPECT_TRUE(plain.stackTrace().empty());
  EXPECT_FALSE(plain.isFatal());
  EXPECT_FALSE(plain.onDemand());
  plain.setIsFatal(true);
  plain.setOnDemand(true);
  plain.setStackTrace({ZOVStackFrame::stackFrameWithSymbol("main")});
  EXPECT_TRUE(plain.isFatal() && plain.onDemand());
  EXPECT_EQ(plain.stackTrace().size(), 1u);

  ns::Exception exception(ns::kInvalidArgumentException, "bad");
  ZOVExceptionModel model = ZOVExceptionModel::exceptionModelWithException(exception);
  EXPECT_EQ(model.name(), ns::kInvalidArgumentException);
  EXPECT_EQ(model.reason(), "bad");
  ASSERT_FALSE(exception.callStackReturnAddresses().empty());
  ASSERT_EQ(model.stackTrace().size(), exception.callStackReturnAddresses().size());
  for (size_t i = 0; i < model.stackTrace().size(); ++i)
    EXPECT_EQ(model.stackTrace()[i], ZOVStackFrame::stackFrameWithAddress(exception.callStackReturnAddresses()[i]));
}

TEST(ValueTypesTest, TokensAndReportActions) {
  EXPECT_TRUE(DVCRDataCollectionToken::validToken().isValid());
  EXPECT_EQ(DVCRReportActionValue(DVCRWrappedReportAction(DVCRReportAction::Send)), 0);
  EXPECT_EQ(DVCRReportActionValue(DVCRWrappedReportAction(DVCRReportAction::Delete)), 1);
  EXPECT_EQ(DVCRReportActionValue(ns::Value(1)), 1);
}

class CrashReporterLoggerTest : public zov_testing::TelemetryCoreTest {};

TEST_F(CrashReporterLoggerTest, WrappersReachTheCoreLogAtTheirLevels) {
  ZOVLoggerApplyLevel(ZULLoggerLevelDebug);
  DVCRLogDebugMessage("debug %d", 7);
  DVCRLogInfoMessage("info %@", "six");
  DVCRLogWarningMessage("warning");
  DVCRLogErrorMessage("error %s", "three");
  auto lines = loggerLines();
  ASSERT_EQ(lines.size(), 4u);
  const char* expected[][2] = {{"7", "debug 7"}, {"6", "info six"}, {"4", "warning"}, {"3", "error three"}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(lines[i]["Level"], expected[i][0]);
    EXPECT_EQ(lines[i]["Message"], std::string("10.16.0 - [DozaveveDodevadarud][I-DVC000000] ") + expected[i][1]);
  }
}

TEST_F(CrashReporterLoggerTest, TheSDKAndTheApplicationAsReportsNameThem) {
  EXPECT_EQ(DVCRSDKVersion(), "10.16.0");
  EXPECT_EQ(DVCRSDKGeneratorName(), "Dodevadarud iOS SDK/10.16.0");
  EXPECT_EQ(DVCRApplicationGetSDKBundleID(), "com.zorori.dozaveve.dodevadarud.ios");
  EXPECT_EQ(DVCRApplicationGetPlatform(), "ios");
  EXPECT_EQ(DVCRApplicationGetBundleIdentifier(), zov_testing::kTestBundleIdentifier);
  useApp({{ns::Bundle::kIdentifierKey, ns::Value("group/app/one")}});
  EXPECT_EQ(DVCRApplicationGetBundleIdentifier(), "group_app_one");
}

}  // namespace
}  // namespace dvcr_testing
