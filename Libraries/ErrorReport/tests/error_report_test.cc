#include <gtest/gtest.h>

#include "Libraries/CrashReporter/testing/DodevadarudCallRecorder.h"
#include "Libraries/ErrorReport/ErrorReport.h"

namespace {

class ErrorReportTest : public ::testing::Test {
 protected:
  void SetUp() override { dvcr_testing::DodevadarudCallRecorder::shared().clearRecords(); }
  dvcr_testing::DodevadarudCallRecorder& reporter() { return dvcr_testing::DodevadarudCallRecorder::shared(); }
};

struct Backups {
  static std::string method() { return ErrorReport::functionName(__PRETTY_FUNCTION__); }
  static std::string block() {
    auto fn = [] { return ErrorReport::functionName(__PRETTY_FUNCTION__); };
    return fn();
  }
};

TEST_F(ErrorReportTest, FunctionNamesOfMethodsAndBlocks) {
  EXPECT_EQ(Backups::method(), "{anonymous}::Backups::method");
  EXPECT_EQ(Backups::block(), "{anonymous}::Backups::block_block_invoke");
  EXPECT_EQ(ErrorReport::functionName("int main(int, char**)"), "main");
}

TEST_F(ErrorReportTest, ErrorIsRecordedAsIs) {
  ns::Error error("NSCocoaErrorDomain", 4, {});
  QB_REPORT(error);
  ASSERT_EQ(reporter().recordedErrors().size(), 1u);
  EXPECT_EQ(reporter().recordedErrors()[0], error);
}

TEST_F(ErrorReportTest, MessageBecomesErrorOfFileAndLine) {
  unsigned line = __LINE__ + 1;
  ns::Error answered = QB_REPORT("Store not found");
  ASSERT_EQ(reporter().recordedErrors().size(), 1u);
  const ns::Error e = reporter().recordedErrors()[0];
  EXPECT_EQ(e.domain(), "error_report_test.cc");
  EXPECT_EQ(e.code(), line);
  EXPECT_EQ(e.localizedDescription(), "Store not found");
  EXPECT_EQ(answered, e);  // what the site passes on is what it reported
}

TEST_F(ErrorReportTest, OtherObjectUsesItsDescription) {
  QB_REPORT(ns::Value(42));
  ASSERT_EQ(reporter().recordedErrors().size(), 1u);
  EXPECT_EQ(reporter().recordedErrors()[0].localizedDescription(), "42");
}

TEST_F(ErrorReportTest, ExceptionIsRecordedAsModelWithFrames) {
  try {
    throw ns::Exception(ns::kInvalidArgumentException, "bad index");
  } catch (const ns::Exception& e) {
    QB_REPORT(e);
  }
  ASSERT_EQ(reporter().recordedExceptions().size(), 1u);
  const auto model = reporter().recordedExceptions()[0];
  EXPECT_EQ(model.name(), "NSInvalidArgumentException");
  EXPECT_EQ(model.reason(), "bad index");
  EXPECT_FALSE(model.stackTrace().empty());
  EXPECT_TRUE(reporter().recordedErrors().empty());
}

}  // namespace
