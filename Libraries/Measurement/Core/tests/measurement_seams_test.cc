// What storage and the wire messages rely on of the core today: the
// monitor's printed lines, the measurement error, the worker-thread check,
// and the monitor taking the wire messages' log once made.
#include <gtest/gtest.h>

#include <thread>

#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRScheduler.h"
#include "Libraries/Measurement/Core/testing/MSRMonitorTesting.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Libraries/TelemetryFoundation/testing/ZULLoggerTesting.h"
#include "Libraries/WireMessages/MSRPBFlagRoutines.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/SystemLog/LegacyLogStore.h"

namespace {

class MeasurementSeamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZULLoggerResetForTesting();
    systemlog::LegacyLogStore::shared().clear();
  }
  void TearDown() override {
    MSRMonitorSetObserverForTesting({});
    ZULLoggerResetForTesting();
  }
  // "<Level><Message>" of each line the utilities logger wrote.
  static std::vector<std::string> lines() {
    MSRMonitorWaitForTesting();
    std::vector<std::string> out;
    for (auto& line : systemlog::LegacyLogStore::shared().search(
             {{"Facility", systemlog::LegacyCondition::Op::Equal, kZULLoggerFacility}})) {
      out.push_back(line["Level"] + line["Message"]);
    }
    return out;
  }
  ns::testing::TemporaryDevice device_;
};

TEST_F(MeasurementSeamsTest, TheMonitorPrintsThroughTheUtilitiesLogger) {
  struct Case {
    int64_t level;
    std::string printed;  // "" when not printed at the logger's default level 5
  } cases[] = {
      {0, "3 - <DudUziroruvoza>[I-ACS000042] message"},
      {1, "3 - <DudUziroruvoza>[I-ACS000042] message"},
      {2, ""},
      {3, "4 - <DudUziroruvoza>[I-ACS000042] message"},
      {4, "4 - <DudUziroruvoza>[I-ACS000042] message"},
      {5, ""},
      {6, "5 - <DudUziroruvoza>[I-ACS000042] message"},
      {7, ""},
      {8, ""},
      {9, ""},
  };
  auto monitor = MSRMeasurement::monitor();
  ASSERT_EQ(monitor, MSRMeasurement::monitor()) << "one monitor";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    systemlog::LegacyLogStore::shared().clear();
    monitor->logWithLevel(c.level, 42, "message");
    EXPECT_EQ(lines(), c.printed.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.printed});
  }
  ZULLoggerSetLevel(7);
  systemlog::LegacyLogStore::shared().clear();
  monitor->logWithLevel(7, 42, "message");
  monitor->logWithLevel(8, 42, "verbose logging is off");
  EXPECT_EQ(lines(), std::vector<std::string>{"7 - <DudUziroruvoza>[I-ACS000042] message"});
  EXPECT_FALSE(monitor->isDebugModeEnabled());
}

TEST_F(MeasurementSeamsTest, PrintedLinesAndContexts) {
  auto monitor = MSRMeasurement::monitor();
  monitor->logWithLevel(1, 34018, "Failed to close database. Got error code", 5);
  monitor->logWithLevel(4, 1, "100% of", ns::Value(), "text", 2.5);
  monitor->logWithLevel(1, 2, std::nullopt);
  monitor->logWithLevel(1, 3, "");
  monitor->logWithLevel(1, 4, "Failed", ns::Error("Domain", 7));
  monitor->logWithLevel(1, 123456789, "list", std::vector<MSRLogContext>{1, "two"});
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         "3 - <DudUziroruvoza>[I-ACS034018] Failed to close database. Got error code: 5",
                         "4 - <DudUziroruvoza>[I-ACS000001] 100%% of: (nil), text, 2.5",
                         "3 - <DudUziroruvoza>[I-ACS000002] (Message was nil)",
                         "3 - <DudUziroruvoza>[I-ACS000003] (Message was empty)",
                         "3 - <DudUziroruvoza>[I-ACS000004] Failed: Error Domain=Domain Code=7 \"The operation "
                         "couldn\u2019t be completed. (Domain error 7.)\"",
                         "3 - <DudUziroruvoza>[I-ACS123456789] list: 1, two",
                     }));
}

TEST_F(MeasurementSeamsTest, MeasurementErrors) {
  ns::Error full = msr_errorWithCode(3, "Failed", "op,1,A,4");
  EXPECT_EQ(full.domain(), "com.zorori.zmp.measurement.ErrorDomain");
  EXPECT_EQ(full.code(), 3);
  EXPECT_EQ(full.userInfo(), (ns::Dictionary{{ns::kLocalizedDescriptionKey, "Failed"}, {"MSRMonitorContext", "op,1,A,4"}}));
  EXPECT_EQ(msr_errorWithCode(1, "Bad", "").userInfo(), (ns::Dictionary{{ns::kLocalizedDescriptionKey, "Bad"}}));
  EXPECT_TRUE(msr_errorWithCode(2, "").userInfo().empty());
}

TEST_F(MeasurementSeamsTest, TheWorkerThreadCheck) {
  std::vector<MSRMonitorMessage> messages;
  MSRMonitorSetObserverForTesting([&](const MSRMonitorMessage& message) { messages.push_back(message); });
  EXPECT_FALSE(MSRScheduler::checkOnBackgroundThreadWithMethodName("fetchOnWorkerQueue"));
  EXPECT_FALSE(MSRScheduler::checkOnBackgroundThreadWithMethodName(""));
  bool offMain = false;
  std::thread([&] { offMain = MSRScheduler::checkOnBackgroundThreadWithMethodName("x"); }).join();
  EXPECT_TRUE(offMain);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].level, 1);
  EXPECT_EQ(messages[0].code, 30001);
  EXPECT_EQ(messages[0].message, "Method fetchOnWorkerQueue should execute on background thread");
  EXPECT_EQ(messages[1].message, "Method <empty method name> should execute on background thread");
}

TEST_F(MeasurementSeamsTest, TheMonitorTakesTheFlagRoutinesMessagesOnceMade) {
  std::vector<MSRMonitorMessage> messages;
  MSRMonitorSetObserverForTesting([&](const MSRMonitorMessage& message) { messages.push_back(message); });
  MSRMeasurement::monitor();
  EXPECT_FALSE(MSRPBFlagWithNameAndValue(std::nullopt, ns::Value(7)));
  EXPECT_FALSE(MSRPBFlagWithNameAndValue(ns::Value(7), ns::Value(7)));
  EXPECT_FALSE(MSRPBFlagWithNameAndValue(ns::Value("f"), std::nullopt));
  EXPECT_TRUE(MSRPBFlagWithNameAndValue(ns::Value("f"), ns::Value(7)));
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].level, 1);
  EXPECT_EQ(messages[0].code, 850000);
  EXPECT_EQ(messages[0].message, "Flag name must not be nil");
  EXPECT_TRUE(messages[0].contexts.empty());
  EXPECT_EQ(messages[1].code, 850001);
  ASSERT_EQ(messages[1].contexts.size(), 1u);
  EXPECT_EQ(messages[1].contexts[0].text(), "NSNumber");
  EXPECT_EQ(messages[2].code, 850002);
  ASSERT_EQ(messages[2].contexts.size(), 1u);
  EXPECT_EQ(messages[2].contexts[0].text(), "(nil)");
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         "3 - <DudUziroruvoza>[I-ACS850000] Flag name must not be nil",
                         "3 - <DudUziroruvoza>[I-ACS850001] Flag name must be a string: NSNumber",
                         "3 - <DudUziroruvoza>[I-ACS850002] Flag value is invalid: (nil)",
                     }));
}

}  // namespace
