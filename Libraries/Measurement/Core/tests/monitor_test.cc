// The measurement monitor: its level table, the lines it prints through the
// utilities logger, the encoded contexts, the health sample kept in its
// suite (read back with plistutil), the migration of an older sample, and
// the debug and verbose switches.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <thread>

#include "Libraries/Measurement/Core/MSRASLLogger.h"
#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRMonitor.h"
#include "Libraries/Measurement/Core/MSRMonitoringSampledData.h"
#include "Libraries/Measurement/Core/MSRNumericUtil.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"
#include "Libraries/Measurement/Storage/tests/ConfigTestSupport.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/Runtime/Runtime.h"

// Exported (the test program exports its symbols), so that an exception's
// stack names it.
__attribute__((noinline)) void MSRMonitorTestThrowingFunction(const char* reason) {
  throw ns::Exception(ns::kInternalInconsistencyException, reason);
}

__attribute__((noinline)) void plainThrowingFunction() { throw ns::Exception("PlainException", "plain"); }

namespace {

using msr_testing::ConfigTest;
using msr_testing::loggerLines;

constexpr int64_t kVersion = 101600;
constexpr const char* kSuite = "com.zorori.zmp.measurement.monitor";
constexpr const char* kHealthKey = "/zorori/measurement/health_monitor";

ns::Exception caught(void (*thrower)()) {
  try {
    thrower();
  } catch (const ns::Exception& e) {
    return e;
  }
  return ns::Exception("none", "none");
}

class MSRMonitorTest : public ConfigTest {
 protected:
  void SetUp() override {
    ConfigTest::SetUp();
    savedArguments_ = ns::ProcessInfo::processInfo().arguments();
  }
  void TearDown() override {
    ns::ProcessInfo::processInfo().setArguments(savedArguments_);
    rt::unregisterClass("VEDEvevuduzazado");
    ConfigTest::TearDown();
  }
  // "<level><message>" of each line the utilities logger wrote so far.
  static std::vector<std::string> printed() {
    std::vector<std::string> out;
    for (auto& line : loggerLines()) out.push_back(line["Level"] + line["Message"]);
    return out;
  }
  // The sample as the suite's file holds it, read by plistutil.
  static std::optional<ns::Value> storedSample() {
    auto suite = msr_testing::plistutilDictionary(MSRPreferencesPlistPath(kSuite));
    if (!suite) return std::nullopt;
    const ns::Value* sample = suite->find(kHealthKey);
    return sample ? std::optional<ns::Value>(*sample) : std::nullopt;
  }
  std::vector<std::string> savedArguments_;
};

TEST_F(MSRMonitorTest, TheLevelTable) {
  struct Case {
    int64_t level;
    std::optional<std::string> name;
    long loggerLevel;
    bool silent, monitored;
  } cases[] = {
      {0, "ERROR", 3, false, false},   {1, "ERROR", 3, false, true},   {2, "ERROR", 3, true, true},
      {3, "WARNING", 4, false, false}, {4, "WARNING", 4, false, true}, {5, "WARNING", 4, true, true},
      {6, "NOTICE", 5, false, false},  {7, "DEBUG", 7, false, false},  {8, std::nullopt, 7, false, false},
      {9, std::nullopt, 4, true, true}, {-1, std::nullopt, 4, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    EXPECT_EQ(MSRMonitor::logLevelDescriptionFromLogLevel(c.level), c.name);
    EXPECT_EQ(MSRASLLogger::ZULLoggerLevelFromLogLevel(c.level), c.loggerLevel);
    EXPECT_EQ(MSRMonitor::isSilentLevel(c.level), c.silent);
    EXPECT_EQ(MSRMonitor::isMonitorableLevel(c.level), c.monitored);
  }
}

TEST_F(MSRMonitorTest, EncodedContextsKeepOnlyTheShapeOfAValue) {
  struct Case {
    MSRLogContext context;
    std::string encoded;
  } cases[] = {
      {ns::Value(), ""},
      {"a person's name", "-"},
      {5, "5"},
      {-99, "-99"},
      {100, "100...999"},
      {150, "100...999"},
      {-345, "-999...-100"},
      {-2500, "-9999...-1000"},
      {true, "1"},
      {2.9, "2"},
      {-150.5, "-999...-100"},
      {999999999999999999LL, "100000000000000000...999999999999999999"},
      // The decades from 10^18 on end beyond 64 bits.
      {INT64_MAX, "1000000000000000000...9999999999999999999"},
      {INT64_MIN, "-9999999999999999999...-1000000000000000000"},
      {std::numeric_limits<uint64_t>::max(), "10000000000000000000...99999999999999999999"},
      // Doubles without an integer value: NaN is 0, the rest saturate.
      {std::nan(""), "0"},
      {std::numeric_limits<double>::infinity(), "1000000000000000000...9999999999999999999"},
      {-1e300, "-9999999999999999999...-1000000000000000000"},
      {ns::Error("NSCocoaErrorDomain", 4), "NSCocoaErrorDomain"},
      {ns::Error("", 4), "-"},
      {ns::Value(ns::Array{}), "?"},
      {ns::Value(ns::Date()), "?"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MSRMonitor::encodedStringWithContextObject(c.context), c.encoded) << c.context.text();
  }
  EXPECT_EQ(MSRMonitor::encodedStringWithContextArray({5, "x", ns::Value()}, true), "5, -, ");
  EXPECT_EQ(MSRMonitor::encodedStringWithContextArray({5, "x", ns::Value()}, false), "5,-,");
}

TEST_F(MSRMonitorTest, PrintedLinesPlainAndEncoded) {
  ZULLoggerSetLevel(7);
  auto monitor = MSRMonitor::initWithLibraryVersion(kVersion);
  MSRMonitorWaitForTesting();
  clearLog();
  monitor->logWithLevel(1, 34018, "Failed to close database. Got error code", 5);
  monitor->logWithLevel(4, 1, "100% of", ns::Value(), "text", 2.5);
  monitor->logWithLevel(1, 2, std::nullopt);
  monitor->logWithLevel(1, 3, "");
  monitor->logWithLevel(7, 4, "Debug", ns::Error("Domain", 7));
  // The tag is read as a line is printed.
  MSRMonitorWaitForTesting();
  monitor->setLogTag("<Tag>");
  monitor->setEncodeContexts(true);
  monitor->logWithLevel(6, 123456, "Values", 150, -2500, "secret");
  monitor->logWithLevel(0, 5, "Failure", ns::Error("Domain", 7));
  EXPECT_EQ(printed(), (std::vector<std::string>{
                           "3 - <DudUziroruvoza>[I-ACS034018] Failed to close database. Got error code: 5",
                           "4 - <DudUziroruvoza>[I-ACS000001] 100%% of: (nil), text, 2.5",
                           "3 - <DudUziroruvoza>[I-ACS000002] (Message was nil)",
                           "3 - <DudUziroruvoza>[I-ACS000003] (Message was empty)",
                           "7 - <DudUziroruvoza>[I-ACS000004] Debug: Error Domain=Domain Code=7 \"The operation "
                           "couldn\u2019t be completed. (Domain error 7.)\"",
                           "5 - <Tag>[I-ACS123456] Values: 100...999, -9999...-1000, -",
                           "3 - <Tag>[I-ACS000005] Failure: Domain",
                       }));
}

TEST_F(MSRMonitorTest, ExceptionsAreNamedByTheirLastMeasurementFunction) {
  ns::Exception thrown = caught([] { MSRMonitorTestThrowingFunction("broken"); });
  std::vector<std::string> frames = thrown.callStackSymbols();
  ASSERT_GE(frames.size(), 3u);
  EXPECT_EQ(frames[0].rfind("0   ", 0), 0u) << frames[0];
  EXPECT_NE(frames[2].find(" MSRMonitorTestThrowingFunction + "), std::string::npos) << frames[2];
  EXPECT_EQ(MSRMonitor::lastMSRSymbolFromException(thrown), "MSRMonitorTestThrowingFunction");
  EXPECT_EQ(MSRLogContext(thrown).text(), "MSRMonitorTestThrowingFunction: broken");
  EXPECT_EQ(MSRLogContext(thrown).encoded(), "MSRMonitorTestThrowingFunction");
  // A stack with no measurement function gives the exception's name.
  ns::Exception plain = caught(plainThrowingFunction);
  EXPECT_EQ(MSRMonitor::lastMSRSymbolFromException(plain), "PlainException");
}

TEST_F(MSRMonitorTest, VerboseLinesPassOnlyWhileVerboseLoggingIsOn) {
  auto monitor = MSRMonitor::initWithLibraryVersion(kVersion);
  ZULLoggerSetLevel(7);
  MSRMonitorWaitForTesting();
  clearLog();
  monitor->logWithLevel(8, 1, "dropped");
  monitor->logWithLevel(7, 2, "debug");
  EXPECT_EQ(printed(), std::vector<std::string>{"7 - <DudUziroruvoza>[I-ACS000002] debug"});
  monitor->setVerboseLoggingEnabled(true);
  clearLog();
  monitor->logWithLevel(8, 3, "verbose");
  EXPECT_EQ(printed(), std::vector<std::string>{"7 - <DudUziroruvoza>[I-ACS000003] verbose"});
}

TEST_F(MSRMonitorTest, TheSampleCountsMonitoredMessagesAndIsSentOncePerPeriod) {
  const ns::Date start = ns::Date::fromUnixTime(1.8e9);
  ns::Clock::useVirtual(start);
  auto monitor = MSRMonitor::initWithLibraryVersion(kVersion);
  monitor->logWithLevel(1, 1, "first", "text");
  monitor->logWithLevel(6, 2, "not monitored");
  monitor->logWithLevel(2, 3, "second", 150, msr_errorWithCode(3, "Failed", "op,1"));
  monitor->logWithLevel(5, 4, "third");
  MSRMonitorWaitForTesting();
  // The suite's file, as another reader sees it.
  auto stored = storedSample();
  ASSERT_TRUE(stored && stored->isArray());
  const ns::Array& array = *stored->asArray();
  ASSERT_EQ(array.size(), 4u);
  EXPECT_EQ(array[1], ns::Value(3));
  EXPECT_EQ(array[3], ns::Value(start));
  const std::string key = *array[2].asString();
  const std::string context = *array[0].asString();
  const std::vector<std::pair<std::string, std::string>> kept = {
      {"1E_101600:first", "-"}, {"1E_101600:second", "100...999,com.zorori.zmp.measurement.ErrorDomain,op,1"},
      {"1W_101600:third", ""}};
  EXPECT_NE(std::find(kept.begin(), kept.end(), std::make_pair(key, context)), kept.end()) << key << " " << context;

  const double period = 3600;
  EXPECT_EQ(monitor->monitoringDataForDispatchWithSamplePeriod(period, 0), std::nullopt) << "too young";
  ns::Clock::advance(period + 1);
  std::string expected = "3:" + key + (context.empty() ? "" : ":" + context);
  EXPECT_EQ(monitor->monitoringDataForDispatchWithSamplePeriod(period, 0), expected);
  EXPECT_FALSE(storedSample()) << "the sent sample is cleared in the suite";
  // Nothing sampled since: "0:" once a whole period passed since the last
  // sampling, nothing without one.
  const double now = ns::Date::now().timeIntervalSince1970();
  EXPECT_EQ(monitor->monitoringDataForDispatchWithSamplePeriod(period, 0), std::nullopt);
  EXPECT_EQ(monitor->monitoringDataForDispatchWithSamplePeriod(period, now - period / 2), std::nullopt);
  EXPECT_EQ(monitor->monitoringDataForDispatchWithSamplePeriod(period, now - period - 1), "0:");
}

TEST_F(MSRMonitorTest, TheSampleSurvivesARelaunchAndClearingForgetsIt) {
  auto first = MSRMonitor::initWithLibraryVersion(kVersion);
  first->logWithLevel(1, 1, "kept", "x");
  MSRMonitorWaitForTesting();
  first.reset();
  auto second = MSRMonitor::initWithLibraryVersion(kVersion);
  second->logWithLevel(4, 2, "later");
  MSRMonitorWaitForTesting();
  ASSERT_TRUE(storedSample());
  EXPECT_EQ(storedSample()->asArray()->at(1), ns::Value(2)) << "the second launch counts on";
  MSRUserDefaults::standardUserDefaults()->setObject(ns::Value(true), "/zorori/measurement/debug_mode");
  second->clearMonitoringData();
  EXPECT_FALSE(storedSample());
  EXPECT_FALSE(MSRUserDefaults::standardUserDefaults()->objectForKey("/zorori/measurement/debug_mode"));
  EXPECT_EQ(second->monitoringDataForDispatchWithSamplePeriod(1, 0), std::nullopt);
}

TEST_F(MSRMonitorTest, SwitchesAndTheSampleLastAcrossLaunches) {
  struct Launch {
    std::vector<std::string> arguments;
    std::string printed;
  } launches[] = {
      {{}, "debug=0 verbose=0 population=1"},
      {{"-VOZIzizuzoveDebugEnabled", "-MSRAnalyticsVerboseLoggingEnabled"}, "debug=1 verbose=1 population=2"},
      {{}, "debug=1 verbose=1 population=3"},
      {{"-noVOZIzizuzoveDebugEnabled"}, "debug=0 verbose=1 population=4"},
      {{"-VOZIzizuzoveVerboseLoggingDisabled"}, "debug=0 verbose=0 population=5"},
      {{}, "debug=0 verbose=0 population=6"},
  };
  for (const auto& launch : launches) {
    std::string command = msr_testing::shellQuoted(MSR_MONITOR_CHILD) + " " +
                          msr_testing::shellQuoted(device_.directory());
    for (const auto& argument : launch.arguments) command += " " + msr_testing::shellQuoted(argument);
    std::string out;
    ASSERT_EQ(msr_testing::run(command, &out), 0) << command;
    EXPECT_EQ(out, launch.printed + "\n") << command;
  }
}

TEST_F(MSRMonitorTest, AMalformedStoredSampleIsDropped) {
  const ns::Value malformed[] = {
      ns::Value(ns::Array{ns::Value("-"), ns::Value(4), ns::Value("key")}),
      ns::Value(ns::Array{ns::Value("-"), ns::Value("4"), ns::Value("key"), ns::Value(ns::Date())}),
      ns::Value("not an array"),
  };
  for (const auto& stored : malformed) {
    SCOPED_TRACE(stored.description());
    MSRUserDefaults suite(std::string{kSuite});
    suite.setObject(stored, kHealthKey);
    suite.setObject(ns::Value(2), "/zorori/measurement/monitor_migration_state");
    auto monitor = MSRMonitor::initWithLibraryVersion(kVersion);
    monitor->logWithLevel(1, 1, "one");
    MSRMonitorWaitForTesting();
    ASSERT_TRUE(storedSample());
    EXPECT_EQ(storedSample()->asArray()->at(1), ns::Value(1));
  }
}

TEST_F(MSRMonitorTest, MigrationMovesTheOlderSampleIntoTheSuiteOnce) {
  const ns::Value old(ns::Array{ns::Value("-"), ns::Value(7), ns::Value("1E_101600:old"), ns::Value(ns::Date())});
  struct Case {
    std::optional<int64_t> state;  // none: never migrated
    bool moved;                    // the older sample reaches the suite
    bool removed;                  // and leaves the standard store
  } cases[] = {{std::nullopt, true, true}, {0, true, true}, {1, false, true}, {2, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state.value_or(-1));
    auto standard = MSRUserDefaults::standardUserDefaults();
    MSRUserDefaults suite(std::string{kSuite});
    suite.clearAllData();
    standard->setObject(old, kHealthKey);
    if (c.state) suite.setObject(ns::Value(*c.state), "/zorori/measurement/monitor_migration_state");
    auto monitor = MSRMonitor::initWithLibraryVersion(kVersion);
    MSRMonitorWaitForTesting();
    EXPECT_EQ(suite.objectForKey(kHealthKey).has_value(), c.moved);
    EXPECT_EQ(standard->objectForKey(kHealthKey).has_value(), !c.removed);
    EXPECT_EQ(suite.objectForKey("/zorori/measurement/monitor_migration_state"), ns::Value(2));
    if (c.moved) {
      EXPECT_EQ(monitor->monitoringDataForDispatchWithSamplePeriod(-1, 0), "7:1E_101600:old:-");
    }
  }
}

TEST_F(MSRMonitorTest, ReservoirSamplingKeepsEachMessageEquallyOften) {
  std::mt19937_64 random(71);
  MSRRandomSetSourceForTesting([&](uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(random());
  });
  const int trials = 3000;
  std::map<std::string, int> kept;
  for (int i = 0; i < trials; ++i) {
    MSRMonitoringSampledData sample;
    for (const char* key : {"a", "b", "c"}) sample.insertOrUpdateSampledDataWithKey(key, "");
    ++kept[sample.monitoringDataForDispatchWithSamplePeriod(0, 0, 1e12).value_or("")];
  }
  double chiSquare = 0;
  for (const char* answer : {"3:a", "3:b", "3:c"}) {
    const double expected = trials / 3.0;
    chiSquare += (kept[answer] - expected) * (kept[answer] - expected) / expected;
  }
  // Two degrees of freedom: 13.8 is the 0.1% bound.
  EXPECT_LT(chiSquare, 13.8) << kept["3:a"] << " " << kept["3:b"] << " " << kept["3:c"];
}

TEST_F(MSRMonitorTest, TheSwitchesFollowArgumentsStoredFlagsAndTheInstall) {
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    bool debugStored = false, verboseStored = false, storeInstall = false, coreRegistered = false;
    bool debug, verbose;
    int64_t level;
    bool loggerAtDebug;  // the utilities logger prints level 7
  } cases[] = {
      {"nothing", {}, false, false, false, false, false, false, 6, false},
      {"debug argument", {"-VOZIzizuzoveDebugEnabled"}, false, false, false, false, true, false, 7, true},
      {"stored debug flag", {}, true, false, false, false, true, false, 7, true},
      {"disabling argument wins", {"-noVOZIzizuzoveDebugEnabled", "-MSRAnalyticsDebugEnabled"}, true, false, false,
       false, false, false, 6, false},
      {"verbose argument", {"-MSRAnalyticsVerboseLoggingEnabled"}, false, false, false, false, false, true, 8, true},
      {"stored verbose, disabled", {"-VOZIzizuzoveVerboseLoggingDisabled"}, true, true, false, false, true, false,
       7, true},
      {"store install ignores all", {"-ZOVDebugEnabled", "-VOZIzizuzoveVerboseLoggingEnabled"}, true, true, true,
       false, false, false, 6, false},
      {"core debug without the core", {"-ZOVDebugEnabled"}, false, false, false, false, true, false, 7, true},
      {"core debug with the core", {"-ZOVDebugEnabled"}, false, false, false, true, true, false, 7, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ZULLoggerResetForTesting();
    ns::DeviceFacts facts = device_.device().facts();
    facts.executableEncrypted = c.storeInstall;
    device_.device().setFacts(facts);
    auto standard = MSRUserDefaults::standardUserDefaults();
    standard->setObject(c.debugStored ? std::optional<ns::Value>(true) : std::nullopt, "/zorori/measurement/debug_mode");
    standard->setObject(c.verboseStored ? std::optional<ns::Value>(true) : std::nullopt,
                        "/zorori/measurement/verbose_logging");
    if (c.coreRegistered) {
      rt::registerClass(std::make_shared<rt::Class>("VEDEvevuduzazado"));
    } else {
      rt::unregisterClass("VEDEvevuduzazado");
    }
    std::vector<std::string> arguments{"quillbox"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    ns::ProcessInfo::processInfo().setArguments(arguments);

    auto monitor = MSRMonitor::initWithLibraryVersion(kVersion);
    EXPECT_EQ(monitor->isDebugModeEnabled(), c.debug);
    EXPECT_EQ(monitor->isVerboseLoggingEnabled(), c.verbose);
    EXPECT_EQ(monitor->logLevel(), c.level);
    EXPECT_EQ(ZULLoggerIsLoggable(7), c.loggerAtDebug);
    if (!c.storeInstall) {
      // The flags follow the switches (a store install reads none of them).
      EXPECT_EQ(standard->objectForKey("/zorori/measurement/debug_mode").has_value(), c.debug);
      EXPECT_EQ(standard->objectForKey("/zorori/measurement/verbose_logging").has_value(), c.verbose);
    }
    MSRMonitorWaitForTesting();
  }
}

TEST_F(MSRMonitorTest, TheTagMayBeReplacedWhileOtherThreadsLog) {
  ZULLoggerSetLevel(7);
  auto monitor = MSRMonitor::initWithLibraryVersion(kVersion);
  std::thread writer([&] {
    for (int i = 0; i < 500; ++i) monitor->setLogTag(i % 2 ? "<A long tag that does not fit in place>" : "<B>");
  });
  std::thread switcher([&] {
    for (int i = 0; i < 100; ++i) monitor->setDebugModeEnabled(i % 2 == 0);
  });
  for (int i = 0; i < 500; ++i) monitor->logWithLevel(3, 1, "line");
  writer.join();
  switcher.join();
  MSRMonitorWaitForTesting();
  for (const auto& line : printed()) {
    EXPECT_TRUE(line.find("<B>[") != std::string::npos || line.find("fit in place>[") != std::string::npos ||
                line.find("<DudUziroruvoza>[") != std::string::npos)
        << line;
  }
}

TEST_F(MSRMonitorTest, ErrorFunctionsAndTheirContexts) {
  ns::Error error;
  MSRSetError(nullptr, 1, "ignored");
  MSRSetErrorWithContext(&error, 2, "Failed", "op,2");
  EXPECT_EQ(error, msr_errorWithCode(2, "Failed", "op,2"));
  int value = 0;
  EXPECT_TRUE(MSRCheckCondition(true, &error, 9, "unused"));
  EXPECT_FALSE(MSRCheckNotNil(std::shared_ptr<int>(), &error, 3, "Missing"));
  EXPECT_EQ(error, msr_errorWithCode(3, "Missing"));
  EXPECT_TRUE(MSRCheckNotNull(&value, &error, 4, "unused"));
  EXPECT_FALSE(MSRCheckNonZero(0, &error, 5, "Zero"));
  EXPECT_EQ(error.code(), 5);
  EXPECT_EQ(MSRMonitorContextFromErrors({msr_errorWithCode(1, "a", "x,1"), "text", ns::Error("Other", 1),
                                         msr_errorWithCode(2, "b"), msr_errorWithCode(3, "c", "y")}),
            "x,1,y");
  EXPECT_EQ(MSRMonitorContextFromErrors({}), "");
}

TEST_F(MSRMonitorTest, DecimalTextsAreReadWithoutLosingDigits) {
  struct Case {
    const char* text;
    std::optional<std::string> value;  // none: refused
    int64_t code;                      // the refusal's code
  } cases[] = {
      {"+.5", "0.5", 0},
      {"-3.", "-3", 0},
      {"1.50", "1.5", 0},
      {"007", "7", 0},
      {"-0.25", "-0.25", 0},
      {"12345678901234567890123456789012345678", "12345678901234567890123456789012345678", 0},
      {"1e5", std::nullopt, 26001},
      {"0x10", std::nullopt, 26001},
      {"", std::nullopt, 26001},
      {"1.2.3", std::nullopt, 26001},
      {" 1", std::nullopt, 26001},
      {"123456789012345678901234567890123456789", std::nullopt, 26003},
      {"-0.123456789012345678901234567890123456789", std::nullopt, 26003},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    monitor_.clear();
    auto number = MSRDecimalNumberFromString(c.text);
    EXPECT_EQ(number ? std::optional<std::string>(number->stringValue()) : std::nullopt, c.value);
    EXPECT_EQ(monitor_.codes(), c.code ? std::vector<int64_t>{c.code} : std::vector<int64_t>{});
  }
}

}  // namespace
