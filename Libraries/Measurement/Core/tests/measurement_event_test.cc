// The engine's event handling on its worker queue, on a real database read
// back with sqlite3 and protoc: what is kept, limited, counted, edited and
// stored, and the metadata stored beside it.
#include <gtest/gtest.h>

#include <cstdio>
#include <latch>
#include <thread>

#include "Libraries/Measurement/Core/tests/EngineTestSupport.h"
#include "Libraries/Measurement/EventEditing/tests/EditingProgram.h"
#include "Libraries/Measurement/Core/VOZIzizuzove.h"
#include "Libraries/Measurement/Storage/MSRKeychainWrapper.h"
#include "Libraries/TelemetryCore/REVUvevivo.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/testing/VIDUveTesting.h"

namespace msr_testing {
namespace {

class MSRMeasurementEventTest : public EngineTest {
 protected:
  static std::vector<std::shared_ptr<MSREvent>> repeated(const std::string& name, int times) {
    std::vector<std::shared_ptr<MSREvent>> events;
    for (int i = 0; i < times; ++i) events.push_back(event(name));
    return events;
  }
};

TEST_F(MSRMeasurementEventTest, ADisabledEngineStoresNothing) {
  startEngine(false);
  handle(event("purchase"));
  EXPECT_EQ(rawEventNames(), "");
  EXPECT_EQ(countOf(23049), 1);
}

TEST_F(MSRMeasurementEventTest, TheSafelistKeepsItsEventsMarkedAndDropsTheRest) {
  startEngine(true, {"purchase"});
  const int64_t dropped = countOf(23174);  // the start's own events
  handle({event("purchase"), event("level_up"), event("_e")});
  EXPECT_EQ(rawEventNames(), "purchase");
  std::string stored = decodedEvent(1);
  EXPECT_NE(stored.find("name: \"za_safelisted\"\n  int_value: 1"), std::string::npos) << stored;
  EXPECT_EQ(countOf(23174), dropped + 2);
}

TEST_F(MSRMeasurementEventTest, TheDailyLimitDropsEveryExcessEventReportingTheFirstAndEachThousandth) {
  startEngine();
  applyConfig(settingText("measurement.upload.max_events_per_day", "2000"));
  monitor_.clear();
  handle(repeated("tick", 3001));
  EXPECT_EQ(query("SELECT count(*) FROM raw_events"), "2000");
  EXPECT_EQ(countOf(23055), 2) << "the 2,001st and the 3,001st";
  EXPECT_EQ(query("SELECT daily_events_count, daily_public_events_count FROM app_metadata"), "3001|3001")
      << "every event is counted, kept or not";
}

TEST_F(MSRMeasurementEventTest, TheThousandAndFirstErrorEventOfADayIsDropped) {
  startEngine();
  handle(std::vector<std::shared_ptr<MSREvent>>(1001, event("_err", {{"_err", i64(3)}}, "auto")));
  EXPECT_EQ(query("SELECT count(*) FROM raw_events"), "1000");
  EXPECT_EQ(countOf(23056), 1);
  EXPECT_EQ(query("SELECT daily_error_events_count, daily_events_count FROM app_metadata"), "1001|1000")
      << "a dropped error event gives its share of all events back";
}

TEST_F(MSRMeasurementEventTest, DistinctPublicNamesStopAtTheLimitWhileInternalOnesGoOn) {
  startEngine();
  std::vector<std::shared_ptr<MSREvent>> names;
  for (int i = 0; i < 500; ++i) names.push_back(event("name_" + std::to_string(i)));
  handle(names);
  ASSERT_EQ(query("SELECT count(*) FROM events"), "500");
  handle({event("name_0"), event("one_too_many"), event("_new_internal")});
  EXPECT_EQ(query("SELECT count(*) FROM raw_events WHERE name = 'one_too_many'"), "0");
  EXPECT_EQ(query("SELECT count(*) FROM raw_events WHERE name IN ('name_0', '_new_internal')"), "3");
  EXPECT_EQ(countOf(23065), 1);
  EXPECT_EQ(storedErrorCodes(), std::vector<std::string>{"8"});
}

TEST_F(MSRMeasurementEventTest, DebugModeMarksAPurchaseRealtimeAndDebug) {
  startEngine();
  MSRMeasurement::monitor()->setDebugModeEnabled(true);
  handle(event("purchase", {{"value", MSRValue::initWithDouble(2.5)}, {"currency", str("EUR")}}));
  EXPECT_EQ(query("SELECT name, is_realtime FROM raw_events"), "purchase|1");
  std::string stored = decodedEvent(1);
  for (const char* flag : {"_r", "_dbg", "_c"}) {
    EXPECT_NE(stored.find("name: \"" + std::string(flag) + "\"\n  int_value: 1"), std::string::npos) << flag << stored;
  }
}

// Bundling counts the day's real-time events; writing holds them back
// once there are ten.
TEST_F(MSRMeasurementEventTest, TheRealtimeCapStopsAtTenExceptForPurchasesAndFirstOpens) {
  startEngine();
  ASSERT_EQ(query("UPDATE app_metadata SET daily_real_time_conversion_events_count = 9"), "");
  handle(event("purchase"));
  ASSERT_EQ(query("UPDATE app_metadata SET daily_real_time_conversion_events_count = 10"), "");
  auto marked = event("level_up");
  marked->setRealtime(true);
  auto firstOpenConsented = event("_fx", {}, "auto");
  firstOpenConsented->setRealtime(true);
  handle({event("purchase"), marked, event("_iap", {}, "auto"), event("_f", {}, "auto"), firstOpenConsented});
  EXPECT_EQ(query("SELECT group_concat(name || ':' || is_realtime, ' ') FROM "
                  "(SELECT name, is_realtime FROM raw_events ORDER BY rowid)"),
            "purchase:1 purchase:0 level_up:0 _iap:1 _f:1 _fx:1");
  EXPECT_EQ(countOf(23060), 1) << "the marked event lost its mark";
  EXPECT_EQ(decodedEvent(3).find("\"_r\""), std::string::npos);
}

TEST_F(MSRMeasurementEventTest, ASessionStartWithTheStoredRolloutsIsDroppedAndANewValueReplacesThem) {
  startEngine();
  config_->setDozaveveFeatureRollouts("rollout-a");
  handle({event("_ssr", {{"_ffr", str("rollout-a")}}, "auto"), event("_ssr", {{"_ffr", str("rollout-b")}}, "auto")});
  EXPECT_EQ(query("SELECT count(*) FROM raw_events WHERE name = '_ssr'"), "1");
  EXPECT_EQ(countOf(23191), 1);
  EXPECT_EQ(config_->dozaveveFeatureRollouts(), "rollout-b");
  EXPECT_NE(decodedEvent(1).find("rollout-b"), std::string::npos);

  // An app exception carries them, and a session start is followed by one.
  handle({event("_ae", {}, "auto"), event("_s", {}, "auto")});
  EXPECT_EQ(rawEventNames(), "_ssr\n_ae\n_s\n_ssr");
  EXPECT_NE(decodedEvent(2).find("rollout-b"), std::string::npos);
}

TEST_F(MSRMeasurementEventTest, ASubscriptionPurchaseWithAKnownIDIsDropped) {
  startEngine();
  MSRValueMap renewal{{"subscription", i64(1)}, {"_did", i64(42)}, {"product_id", str("monthly")}};
  handle({event("_iap", renewal, "auto"), event("_iap", renewal, "auto"), event("_assr", {{"_did", i64(43)}}, "auto")});
  EXPECT_EQ(rawEventNames(), "_iap\n_assr");
  EXPECT_EQ(countOf(23182), 1);
  EXPECT_EQ(query("SELECT group_concat(subscription_id) FROM subscriptions"), "42,43");
}

// The ID is stored before the table is trimmed: dropping the event when
// only the trimming failed would lose the purchase for good, as every
// later delivery is then a duplicate.
TEST_F(MSRMeasurementEventTest, ASubscriptionPurchaseIsKeptWhenOnlyTrimmingOldIDsFails) {
  startEngine();
  ASSERT_EQ(query("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) "
                  "INSERT INTO subscriptions SELECT 'old' || i FROM n; "
                  "CREATE TRIGGER refuse BEFORE DELETE ON subscriptions BEGIN SELECT RAISE(ABORT, 'refused'); END;"),
            "");
  handle(event("_assc", {{"_did", i64(7)}, {"product_id", str("yearly")}}, "auto"));
  EXPECT_EQ(rawEventNames(), "_assc");
  EXPECT_EQ(countOf(23183), 1);
  EXPECT_EQ(query("SELECT count(*) FROM subscriptions"), "1001");
}

TEST_F(MSRMeasurementEventTest, BlocklistedEventsAreDroppedAndReportedUnlessThemselvesErrors) {
  startEngine();
  applyConfig(settingText("measurement.upload.max_events_per_day", "100000") +
              "event_config { name: \"blocked\" field_2: true }");
  handle({event("blocked"), event("kept")});
  EXPECT_EQ(rawEventNames(), "kept\n_err");
  EXPECT_EQ(storedErrorCodes(), std::vector<std::string>{"11"});
  EXPECT_NE(decodedEvent(2).find("name: \"_ev\"\n  string_value: \"blocked\""), std::string::npos) << decodedEvent(2);

  applyConfig(settingText("measurement.upload.max_events_per_day", "100000") +
              "event_config { name: \"_err\" field_2: true }");
  monitor_.clear();
  handle(event("_err", {{"_err", i64(3)}}, "auto"));
  EXPECT_EQ(rawEventNames(), "kept\n_err") << "no row, and no report of the report";
  EXPECT_EQ(countOf(23052), 1);
}

TEST_F(MSRMeasurementEventTest, TheAbsoluteLimitKeepsTheNewestRows) {
  startEngine();
  applyConfig(settingText("measurement.store.max_stored_events_per_app", "3"));
  std::vector<std::shared_ptr<MSREvent>> events;
  for (int i = 0; i < 5; ++i) events.push_back(event("e" + std::to_string(i)));
  handle(events);
  EXPECT_EQ(rawEventNames(), "e2\ne3\ne4");
  EXPECT_EQ(countOf(23070), 2);
}

// Counts what the engine asks of the session; expired at will.
class SessionReporterProbe : public MSRSessionReporter {
 public:
  SessionReporterProbe() : MSRSessionReporter(nullptr) {}
  bool isSessionExpired() const override { return expired; }
  bool extendSession() override {
    ++extensions;
    return !expired;
  }
  bool expired = false;
  int extensions = 0;
};

TEST_F(MSRMeasurementEventTest, ExtendSessionOutsideTheForegroundExtendsOrEndsTheSession) {
  startEngine();
  auto probe = std::make_shared<SessionReporterProbe>();
  MSRMeasurementSetSessionReporterForTesting(*engine_, probe);
  handle({event("ping", {{"extend_session", i64(1)}}), event("ping", {{"extend_session", str("1")}})});
  EXPECT_EQ(probe->extensions, 1);
  EXPECT_EQ(countOf(23179), 1);

  onWorker([&] {
    for (const char* name : {"_sid", "_sno", "_se", "_id"}) {
      engine_->setUserPropertyInDatabaseOnWorkerQueue(MSRUserAttribute::initWithOrigin("auto", name, i64(5), kNow));
    }
  });
  probe->expired = true;
  handle(event("ping"));
  EXPECT_EQ(query("SELECT name FROM user_attributes"), "_id") << "an expired session's properties are gone";
  EXPECT_EQ(probe->extensions, 1);
}

// Answers what the test sets: triggered events, or none (a failure).
class TriggeringController : public MSRConditionalUserPropertyController {
 public:
  std::optional<std::vector<std::shared_ptr<MSREvent>>> processEventOnWorkerQueue(const MSREvent&) override {
    return triggered;
  }
  std::optional<std::vector<std::shared_ptr<MSREvent>>> triggered;
};

TEST_F(MSRMeasurementEventTest, TriggeredEventsAreWrittenAfterTheirEventAndAFailedControllerTriggersNone) {
  startEngine();
  auto controller = std::make_shared<TriggeringController>();
  MSRMeasurementSetConditionalUserPropertyControllerForTesting(*engine_, controller);
  handle(event("first"));
  EXPECT_EQ(countOf(23050), 1);
  controller->triggered = std::vector{event("_ct", {}, "auto"), event("_ct2", {}, "auto")};
  handle(event("second"));
  EXPECT_EQ(rawEventNames(), "first\nsecond\n_ct\n_ct2");
}

// The edit callback renames the parameter "from" to "to"; the create
// callback logs an "echo" of every event named "source".
const char* kEditingRules = R"([
  ["8", "type", "edit", "cb", ["51", "f", ["7", "e"],
    ["2", ["15", "e"], "setParamValue", ["7", "to", ["2", ["15", "e"], "getParamValue", ["7", "from"]]]],
    ["2", ["15", "e"], "setParamValue", ["7", "from", ["45"]]],
    ["36", 0]]],
  ["8", "type", "create", "cb", ["51", "f", ["7", "e"],
    ["22", ["20", ["2", ["15", "e"], "getEventName", ["7"]], "source"],
      ["log", "echo", 9, ["8", "of", ["2", ["15", "e"], "getEventName", ["7"]]]]]]]
])";

TEST_F(MSRMeasurementEventTest, ADeliveredProgramEditsAndCreatesEventsAndAFailingOneLeavesThemAsTheyWere) {
  startEngine();
  nlohmann::json prelude = nlohmann::json::parse(msrptest::kEditingPrelude);
  applyConfig(settingText("measurement.upload.max_events_per_day", "100000") +
              msrptest::programText(prelude, nlohmann::json::parse(kEditingRules)));
  handle(event("source", {{"from", str("value")}}));
  EXPECT_EQ(rawEventNames(), "source\necho");
  std::string edited = decodedEvent(1);
  EXPECT_NE(edited.find("name: \"to\"\n  string_value: \"value\""), std::string::npos) << edited;
  EXPECT_EQ(edited.find("\"from\""), std::string::npos) << edited;
  EXPECT_NE(decodedEvent(2).find("string_value: \"source\""), std::string::npos) << decodedEvent(2);

  // A callback that throws fails the run: the event is stored unedited.
  nlohmann::json failing = nlohmann::json::parse(R"([["8", "type", "edit", "cb", ["51", "f", ["7", "e"], ["27", ["4"]]]]])");
  applyConfig(settingText("measurement.upload.max_events_per_day", "100000") + msrptest::programText(prelude, failing));
  monitor_.clear();
  handle(event("source", {{"from", str("kept")}}));
  EXPECT_EQ(countOf(23223), 1);
  EXPECT_NE(decodedEvent(3).find("name: \"from\"\n  string_value: \"kept\""), std::string::npos) << decodedEvent(3);
}

TEST_F(MSRMeasurementEventTest, RawEventsAndTheirMetadataReadBackWithProtoc) {
  startEngine();
  onWorker([&] {
    engine_->setUserPropertyInDatabaseOnWorkerQueue(MSRUserAttribute::initWithOrigin("app", "plan", str("gold"), kNow));
  });
  handle({event("level_up", {{"level", i64(3)}}), event("level_up", {{"level", i64(4)}})});
  ASSERT_EQ(rawEventNames(), "level_up\nlevel_up");
  EXPECT_EQ(query("SELECT count(*) FROM raw_events_metadata"), "1") << "one metadata row for an unchanged state";

  std::string stored = decodedEvent(1);
  EXPECT_EQ(stored.find("name: \"level_up\""), std::string::npos) << "the name lives in its column: " << stored;
  EXPECT_NE(stored.find("name: \"_o\"\n  string_value: \"app\""), std::string::npos) << stored;
  EXPECT_NE(stored.find("timestamp_millis: 1700000000000"), std::string::npos) << stored;

  std::string blobFile;
  std::string blob = sqliteBlob(databaseFile(), "SELECT metadata FROM raw_events_metadata", &blobFile);
  std::string metadata = protoc("--decode=msrpb.MeasurementBundle UploadMessages.proto", blob);
  for (const std::string& expected :
       {std::string("protocol_version: 1"), std::string("platform: \"ios\""),
        "app_id: \"" + std::string(kBundleIdentifier) + "\"", std::string("install_source: \"manual_install\""),
        std::string("app_version: \"2.3.4\""), std::string("app_version_major: 2"), std::string("app_version_minor: 3"),
        std::string("app_version_release: 4"), std::string("library_version: ")}) {
    EXPECT_NE(metadata.find(expected), std::string::npos) << expected << "\n" << metadata;
  }
  EXPECT_NE(metadata.find("user_attributes {"), std::string::npos) << metadata;
  EXPECT_NE(metadata.find("\"gold\""), std::string::npos) << metadata;

  std::string python;
  ASSERT_EQ(run("python3 -c 'import hashlib,sys; d=hashlib.md5(open(sys.argv[1],\"rb\").read()).digest(); "
                "print(int.from_bytes(d[8:], \"big\", signed=True))' " +
                    shellQuoted(blobFile),
                &python),
            0);
  EXPECT_EQ(query("SELECT metadata_fingerprint FROM raw_events_metadata") + "\n", python);
  EXPECT_EQ(query("SELECT DISTINCT metadata_fingerprint FROM raw_events") + "\n", python);

  // Another user property is another state.
  onWorker([&] {
    engine_->setUserPropertyInDatabaseOnWorkerQueue(MSRUserAttribute::initWithOrigin("app", "plan", str("silver"), kNow));
  });
  handle(event("level_up"));
  EXPECT_EQ(query("SELECT count(*) FROM raw_events_metadata"), "2");
}

TEST_F(MSRMeasurementEventTest, AFirstOpenRaisesThePreviousFirstOpenCountInTheKeychain) {
  startEngine();
  struct Case {
    std::optional<std::string> stored;
    const char* expected;
  } cases[] = {
      {std::nullopt, "1"}, {"41", "42"}, {"-3", "1"}, {"0", "1"}, {"9223372036854775807", "9223372036854775807"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored.value_or("none"));
    engine_->setPreviousFirstOpenCount(c.stored);
    handle(event("_f", {}, "auto"));
    EXPECT_EQ(MSRKeychainWrapper::keychainValueWithIdentifier("_pfo", kBundleIdentifier), c.expected);
  }
}

// The public interface takes each thread's events in its call order
// (stamping and queueing in one step) and the worker queue keeps that
// order and loses none. Each event carries its place in its thread's
// sequence as a fixed-width string, which the stored message holds as is.
TEST_F(MSRMeasurementEventTest, EightThreadsLoggingAtOnceKeepEveryEventInEachThreadsOrder) {
  startEngine();
  // The public interface logs only once the default app is configured;
  // no facade class is registered here, so the engine stays the test's.
  VIDUve::configureWithOptions(std::make_shared<REVUvevivo>(kAppID, "123"));
  constexpr int kThreads = 8, kEach = 100;
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &start] {
      start.arrive_and_wait();
      for (int i = 0; i < kEach; ++i) {
        char seq[16];
        std::snprintf(seq, sizeof seq, "seq-%03d", i);
        VOZIzizuzove::logEventWithName("thread_" + std::to_string(t), ns::Dictionary{{"seq", ns::Value(seq)}});
      }
    });
  }
  for (auto& thread : threads) thread.join();
  flush();
  VIDUveResetForTesting();
  const std::string sequence =
      "(SELECT rowid AS id, name, CAST(substr(data, instr(data, CAST('seq-' AS BLOB)), 7) AS TEXT) AS seq "
      "FROM raw_events WHERE name LIKE 'thread_%')";
  EXPECT_EQ(query("SELECT count(DISTINCT name), min(n), max(n), min(k), max(k) FROM (SELECT name, count(*) AS n, "
                  "count(DISTINCT seq) AS k FROM " + sequence + " GROUP BY name)"),
            "8|100|100|100|100");
  EXPECT_EQ(query("SELECT count(*) FROM " + sequence + " a JOIN " + sequence +
                  " b ON a.name = b.name AND a.id < b.id AND a.seq >= b.seq"),
            "0")
      << "each thread's events in its order";
}

}  // namespace
}  // namespace msr_testing
