// Raw events with their shared metadata, the per-name aggregates and the
// daily counts, on the real file read back with sqlite3, md5sum and protoc.
#include <climits>

#include "Libraries/Measurement/Core/MSRNSDataAdditions.h"
#include "Libraries/Measurement/Storage/testing/MSRDatabaseCoreSteps.h"
#include "Libraries/Measurement/Storage/testing/MSRRemoteConfigTesting.h"
#include "Libraries/Measurement/Storage/tests/DatabaseTestSupport.h"

namespace msr_testing {
namespace {

constexpr const char* kUploadProto = "UploadMessages.proto";
constexpr double kDay = 86400;

class DatabaseEventsTest : public ClockedDatabaseTest {
 protected:
  std::shared_ptr<MSRPersistedConfig> persistedConfigForDatabase() override {
    persistedConfig_ = MSRPersistedConfig::initWithSuiteName("com.zorori.zmp.measurement");
    return persistedConfig_;
  }

  // Bundle metadata as the core makes it: device facts, no events.
  static std::shared_ptr<MSRPBMeasurementBundle> metadata(const std::string& appInstanceID) {
    auto bundle = MSRPBMeasurementBundle::initWithMessageInfo(nullptr);
    MSRPBMessageSetString(bundle.get(), 8, "ios");
    MSRPBMessageSetString(bundle.get(), 22, appInstanceID);
    return bundle;
  }

  static std::shared_ptr<MSREvent> event(const std::string& name, double timestamp, const MSRValueMap& parameters = {},
                                         double previousTimestamp = 0) {
    return MSREvent::initWithOrigin("app", true, name, timestamp, previousTimestamp, parameters);
  }

  // Stores the events as the core does, on the worker queue.
  void store(const std::vector<std::shared_ptr<MSREvent>>& events,
             const std::shared_ptr<MSRPBMeasurementBundle>& metadataOfEvents, bool isRealtime = false) {
    worker([&] {
      for (const auto& e : events) {
        ns::Error error;
        ASSERT_TRUE(storeEventAsTheCore(*database_, e, metadataOfEvents, isRealtime, &error)) << error.description();
      }
    });
  }

  // A raw_events row made by protoc from an Event's text form.
  static ns::Dictionary rowWithEventText(const std::string& text) {
    std::string bytes = protoc("--encode=msrpb.Event " + std::string(kUploadProto), text);
    EXPECT_FALSE(bytes.empty()) << text;
    return ns::Dictionary{{"rowid", 7}, {"name", "purchase"}, {"timestamp", kNow},
                          {"metadata_fingerprint", 42}, {"data", bytesOf(bytes)}};
  }

  std::shared_ptr<MSRPersistedConfig> persistedConfig_;
};

TEST_F(DatabaseEventsTest, DailyCountRules) {
  struct Case {
    const char* name;
    std::array<int32_t, 6> before;  // day, conversions, all, public, errors, realtime
    std::function<void(MSRDailyCounts&)> change;
    std::array<int32_t, 6> after;
  } cases[] = {
      {"a new day with a conversion and count 5", {10, 3, 7, 6, 2, 1},
       [](MSRDailyCounts& c) { c.incrementCountsForCurrentDay(11, true, true, 5); }, {11, 1, 5, 5, 0, 0}},
      {"an internal event of the same day", {10, 3, 7, 6, 2, 1},
       [](MSRDailyCounts& c) { c.incrementCountsForCurrentDay(10, false, false, 2); }, {10, 3, 9, 6, 2, 1}},
      {"a public conversion of the same day", {10, 3, 7, 6, 2, 1},
       [](MSRDailyCounts& c) { c.incrementCountsForCurrentDay(10, true, true); }, {10, 4, 8, 7, 2, 1}},
      {"an error of the same day", {10, 3, 7, 6, 2, 1},
       [](MSRDailyCounts& c) { c.incrementErrorEventsCountForCurrentDay(10); }, {10, 3, 8, 6, 3, 1}},
      {"an error of a new day", {10, 3, 7, 6, 2, 1},
       [](MSRDailyCounts& c) { c.incrementErrorEventsCountForCurrentDay(11); }, {11, 0, 1, 0, 1, 0}},
      {"a realtime event of the same day", {10, 3, 7, 6, 2, 1},
       [](MSRDailyCounts& c) { c.incrementRealtimeCountsForCurrentDay(10); }, {10, 3, 7, 6, 2, 2}},
      {"a realtime event of a new day", {10, 3, 7, 6, 2, 1},
       [](MSRDailyCounts& c) { c.incrementRealtimeCountsForCurrentDay(11); }, {11, 0, 0, 0, 0, 1}},
      {"a reset", {10, 3, 7, 6, 2, 1}, [](MSRDailyCounts& c) { c.resetWithNewDay(12); }, {12, 0, 0, 0, 0, 0}},
      {"a decrement", {10, 3, 7, 6, 2, 1}, [](MSRDailyCounts& c) { c.decrementAllEventsCount(); },
       {10, 3, 6, 6, 2, 1}},
      {"a decrement at 0", {10, 0, 0, 0, 0, 0}, [](MSRDailyCounts& c) { c.decrementAllEventsCount(); },
       {10, 0, 0, 0, 0, 0}},
      {"a sum past the 32-bit range", {10, 0, INT_MAX - 1, INT_MAX - 1, 0, 0},
       [](MSRDailyCounts& c) { c.incrementCountsForCurrentDay(10, true, false, 5); },
       {10, 0, INT_MAX, INT_MAX, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto counts = MSRDailyCounts::initWithDay(c.before[0], c.before[1], c.before[2], c.before[3], c.before[4],
                                              c.before[5]);
    c.change(*counts);
    EXPECT_EQ((std::array<int32_t, 6>{counts->day(), counts->conversionsCount(), counts->allEventsCount(),
                                      counts->publicEventsCount(), counts->errorEventsCount(),
                                      counts->realtimeCount()}),
              c.after);
  }
}

TEST_F(DatabaseEventsTest, DailyCountsLiveInRowOneAndTheDayFollowsTheMidnightOffset) {
  // kNow lies 80,000 s into its UTC day 19675; an offset just past that
  // puts the device's day one earlier.
  persistedConfig_->setDouble(80000.5, "/zorori/measurement/midnight_offset");
  worker([&] {
    ns::Error error;
    auto counts = database_->dailyCounts(&error);
    ASSERT_NE(counts, nullptr) << error.description();
    EXPECT_EQ(counts->day(), 19674) << "an empty day column reads as today";
    EXPECT_EQ(counts->allEventsCount(), 0);
    counts->incrementCountsForCurrentDay(counts->day(), true, true, 5);
    counts->incrementRealtimeCountsForCurrentDay(counts->day());
    ASSERT_TRUE(database_->updateDailyCounts(counts, &error)) << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT rowid, day, daily_conversions_count, daily_events_count, daily_public_events_count, "
                          "daily_error_events_count, daily_real_time_conversion_events_count FROM app_metadata"),
            "1|19674|1|5|5|0|1");

  // A stored day is kept as it is, whatever today is.
  ns::Clock::advance(3 * kDay);
  worker([&] {
    ns::Error error;
    auto counts = database_->dailyCounts(&error);
    ASSERT_NE(counts, nullptr) << error.description();
    EXPECT_EQ(counts->day(), 19674);
    EXPECT_EQ(counts->realtimeCount(), 1);
  });
  expectRefused({{"no counts", [](MSRDatabase& d, ns::Error* e) { return d.updateDailyCounts(nullptr, e); }, 3,
                  "Received empty daily counts for getting dictionary representation"}});
}

TEST_F(DatabaseEventsTest, EqualMetadataIsStoredOnceUnderTheMD5OfItsBytes) {
  store({event("a", kNow - 2)}, metadata("instance-1"));
  store({event("b", kNow - 1)}, metadata("instance-1"));
  EXPECT_EQ(sqlite(path_, "SELECT count(*), count(DISTINCT metadata_fingerprint) FROM raw_events"), "2|1");
  ASSERT_EQ(sqlite(path_, "SELECT count(*) FROM raw_events_metadata"), "1");
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM raw_events JOIN raw_events_metadata USING (metadata_fingerprint)"),
            "2");

  // md5sum of the blob sqlite3 writes out: bytes 8 to 15, big-endian.
  std::string file;
  std::string blob = sqliteBlob(path_, "SELECT metadata FROM raw_events_metadata", &file);
  std::string digest;
  ASSERT_EQ(run("md5sum " + shellQuoted(file), &digest), 0);
  auto expected = static_cast<int64_t>(std::stoull(digest.substr(16, 16), nullptr, 16));
  EXPECT_EQ(sqlite(path_, "SELECT metadata_fingerprint FROM raw_events_metadata"), std::to_string(expected));
  EXPECT_EQ(bytesOf(blob), metadata("instance-1")->protoBuffer());

  store({event("c", kNow)}, metadata("instance-2"));
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM raw_events_metadata"), "2");
  worker([&] {
    ns::Error error;
    auto back = database_->queryRawEventsMetadataWithFingerprint(expected, &error);
    ASSERT_NE(back, nullptr) << error.description();
    EXPECT_EQ(MSRPBMessageGetString(back.get(), 22), "instance-1");
    EXPECT_EQ(database_->queryRawEventsMetadataWithFingerprint(expected + 1, &error), nullptr);
    EXPECT_TRUE(error.domain().empty()) << error.description();
  });
}

TEST_F(DatabaseEventsTest, TheStoredEventsLimitKeepsTheNewest) {
  MSRMeasurementSetRemoteConfigForTesting(MSRRemoteConfigWithDatabaseLimitsForTesting(3, 2419200, 86400));
  store({event("e1", kNow - 4), event("e2", kNow - 3), event("e3", kNow - 2)}, metadata("i"));
  EXPECT_EQ(sqlite(path_, "SELECT group_concat(name) FROM raw_events"), "e1,e2,e3");
  store({event("e4", kNow - 1)}, metadata("i"));
  EXPECT_EQ(sqlite(path_, "SELECT group_concat(name) FROM (SELECT name FROM raw_events ORDER BY rowid)"), "e2,e3,e4");
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->deleteRawEventsOverAbsoluteLimit(&error), std::optional<int64_t>(1)) << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT group_concat(name) FROM raw_events"), "e3,e4");
}

TEST_F(DatabaseEventsTest, AStoredEventLacksItsNameAndReadsBackWithIt) {
  MSRValueMap parameters{{"value", MSRValue::initWithInt64(3)},
                         {"currency", MSRValue::initWithString("EUR")},
                         {"ratio", MSRValue::initWithDouble(0.5)}};
  auto purchase = event("purchase", kNow - 10.25, parameters, kNow - 100);
  store({purchase}, metadata("i"), true);

  std::string text = protoc("--decode=msrpb.Event " + std::string(kUploadProto),
                            sqliteBlob(path_, "SELECT data FROM raw_events"));
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.find("\nname:"), std::string::npos) << text;
  EXPECT_NE(text.find("params {\n  name: \"_o\"\n  string_value: \"app\"\n}"), std::string::npos) << text;
  EXPECT_NE(text.find("timestamp_millis: 1699999989750"), std::string::npos) << text;
  EXPECT_NE(text.find("previous_timestamp_millis: 1699999900000"), std::string::npos) << text;
  EXPECT_EQ(sqlite(path_, "SELECT name, timestamp, is_realtime FROM raw_events"), "purchase|1699999989.75|1");
  EXPECT_EQ(purchase->protoEvent()->protoBuffer(), event("purchase", kNow - 10.25, parameters, kNow - 100)
                                                       ->protoEvent()
                                                       ->protoBuffer())
      << "the caller's event keeps its name";

  worker([&] {
    ns::Error error;
    auto events = database_->rawEventsWithMetadataFingerprint(metadataFingerprint(*metadata("i")), &error);
    ASSERT_TRUE(events && events->size() == 1) << error.description();
    const auto& back = *events->front();
    EXPECT_EQ(back.rowID(), 1);
    EXPECT_EQ(back.metadataFingerprint(), metadataFingerprint(*metadata("i")));
    EXPECT_EQ(back.rawEvent()->name(), "purchase");
    EXPECT_EQ(back.rawEvent()->origin(), "app");
    EXPECT_EQ(back.rawEvent()->timestamp(), kNow - 10.25);
    EXPECT_EQ(back.rawEvent()->previousTimestamp(), kNow - 100);
    EXPECT_EQ(back.rawEvent()->parameters(), purchase->parameters());
  });
}

TEST_F(DatabaseEventsTest, AnArrayParameterReadsBackAsMaps) {
  // Written by protoc: two items of two nested parameters each.
  ns::Dictionary row = rowWithEventText(
      "params { name: \"_o\" string_value: \"auto\" } "
      "params { name: \"items\" "
      "  param_value { param_value { name: \"item_id\" string_value: \"a\" } param_value { name: \"qty\" int_value: 2 } } "
      "  param_value { param_value { name: \"item_id\" string_value: \"b\" } param_value { name: \"price\" double_value: "
      "1.5 } } }");
  worker([&] {
    ns::Error error;
    auto back = database_->rawEventDataFromDictionary(&row, &error);
    ASSERT_NE(back, nullptr) << error.description();
    EXPECT_EQ(back->rawEvent()->origin(), "auto");
    MSRValueMap expected{
        {"_o", MSRValue::initWithString("auto")},
        {"items", MSRValue::initWithArray({{{"item_id", MSRValue::initWithString("a")}, {"qty", MSRValue::initWithInt64(2)}},
                                           {{"item_id", MSRValue::initWithString("b")},
                                            {"price", MSRValue::initWithDouble(1.5)}}})}};
    EXPECT_EQ(back->rawEvent()->parameters(), expected);
  });

  // The same through the database's own write.
  MSRValueMap parameters{{"items", MSRValue::initWithArray({{{"item_id", MSRValue::initWithString("a")},
                                                              {"qty", MSRValue::initWithInt64(2)}},
                                                             {{"item_id", MSRValue::initWithString("b")}}})}};
  auto withItems = event("view_cart", kNow, parameters);
  store({withItems}, metadata("i"));
  worker([&] {
    ns::Error error;
    auto events = database_->rawEventsWithMetadataFingerprint(metadataFingerprint(*metadata("i")), &error);
    ASSERT_TRUE(events && events->size() == 1) << error.description();
    EXPECT_EQ(events->front()->rawEvent()->parameters(), withItems->parameters());
  });
}

TEST_F(DatabaseEventsTest, UnreadableRowsAreRefused) {
  ns::Dictionary good = rowWithEventText("params { name: \"_o\" string_value: \"app\" }");
  auto without = [&](const char* column) {
    ns::Dictionary row;
    for (const auto& [key, value] : good) {
      if (key != column) row.set(key, value);
    }
    return row;
  };
  ns::Dictionary nullRowID = good;
  nullRowID.set("rowid", ns::Value());
  ns::Dictionary negativeRowID = good;
  negativeRowID.set("rowid", -1);
  ns::Dictionary garbage = good;
  garbage.set("data", bytesOf("\xff\xff\xff"));
  struct Case {
    const char* name;
    std::optional<ns::Dictionary> row;
    int64_t code;
    const char* description;
  } cases[] = {
      {"no row", std::nullopt, 1, "Received empty dictionary for getting raw event data"},
      {"no row id", without("rowid"), 1, "Unable to find row ID in the database dictionary"},
      {"a null row id", nullRowID, 1, "Unable to find row ID in the database dictionary"},
      {"no data", without("data"), 1, "Unable to find event data in the database dictionary"},
      {"no fingerprint", without("metadata_fingerprint"), 1, "Unable to find event metadata in the database dictionary"},
      {"data that is no event", garbage, 3, "Failed to parse event from data"},
      {"no origin", rowWithEventText("params { name: \"value\" int_value: 3 }"), 2,
       "Cannot create an event from database. Missing origin parameter"},
      {"an empty origin", rowWithEventText("params { name: \"_o\" string_value: \"\" }"), 2,
       "Cannot create an event from database. Missing origin parameter"},
      {"an origin that is no string", rowWithEventText("params { name: \"_o\" int_value: 1 }"), 2,
       "Cannot create an event from database. Origin parameter is not a string"},
      {"a parameter without a name",
       rowWithEventText("params { name: \"_o\" string_value: \"app\" } params { int_value: 1 }"), 2,
       "Failed to parse event params from data"},
      {"a negative row id", negativeRowID, 2, "Failed to initialize raw event data from dictionary"},
  };
  worker([&] {
    ns::Error error;
    ASSERT_NE(database_->rawEventDataFromDictionary(&good, &error), nullptr) << error.description();
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      error = {};
      EXPECT_EQ(database_->rawEventDataFromDictionary(c.row ? &*c.row : nullptr, &error), nullptr);
      EXPECT_EQ(describe(error), measurementError(c.code, c.description));
    }
  });
  EXPECT_TRUE(monitor_.contains(28001));
}

TEST_F(DatabaseEventsTest, ReadingOneFingerprint) {
  auto m = metadata("i");
  int64_t fingerprint = metadataFingerprint(*m);
  store({event("e1", kNow - 3), event("e2", kNow - 2), event("e3", kNow - 1)}, m);
  worker([&] {
    ns::Error error;
    auto unknown = database_->rawEventsWithMetadataFingerprint(fingerprint + 1, &error);
    ASSERT_TRUE(unknown.has_value()) << error.description();
    EXPECT_TRUE(unknown->empty());

    // The filter is the store's: false ends the selection.
    auto firstTwo = database_->rawEventsWithMetadataFingerprint(
        fingerprint, &error, [](size_t index, const ns::Dictionary&) { return index < 2; });
    ASSERT_TRUE(firstTwo.has_value()) << error.description();
    ASSERT_EQ(firstTwo->size(), 2u);
    EXPECT_EQ(firstTwo->back()->rawEvent()->name(), "e2");
  });

  // Rows that do not decode are skipped; a fingerprint with nothing else
  // answers none.
  sqlite(path_, "UPDATE raw_events SET data = x'FFFF' WHERE name = 'e2'");
  sqlite(path_, "INSERT INTO raw_events (name, timestamp, metadata_fingerprint, data) VALUES ('bad', 1, 5, x'FFFF')");
  worker([&] {
    ns::Error error;
    auto events = database_->rawEventsWithMetadataFingerprint(fingerprint, &error);
    ASSERT_TRUE(events.has_value()) << error.description();
    ASSERT_EQ(events->size(), 2u);
    EXPECT_EQ(events->back()->rawEvent()->name(), "e3");
    EXPECT_EQ(database_->rawEventsWithMetadataFingerprint(5, &error), std::nullopt);
  });
}

TEST_F(DatabaseEventsTest, SchedulingReadsAndTheNextFingerprint) {
  auto m1 = metadata("one"), m2 = metadata("two");
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->isRawEventsTableEmpty(&error), std::optional<bool>(true));
    EXPECT_EQ(database_->queryLatestRawEventTime(&error), std::nullopt);
    EXPECT_EQ(database_->containsRealtimeRawEventsWithError(&error), std::optional<bool>(false));
    EXPECT_EQ(database_->nextMetadataFingerprintToProcess(&error), std::nullopt);
    EXPECT_TRUE(error.domain().empty()) << error.description();
  });
  store({event("a", kNow - 5)}, m1);
  store({event("b", kNow - 1)}, m2, true);
  store({event("c", kNow - 3)}, m1);
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->isRawEventsTableEmpty(&error), std::optional<bool>(false));
    EXPECT_EQ(database_->queryLatestRawEventTime(&error), std::optional<double>(kNow - 1));
    EXPECT_EQ(database_->containsRealtimeRawEventsWithError(&error), std::optional<bool>(true));
    EXPECT_EQ(database_->nextMetadataFingerprintToProcess(&error), metadataFingerprint(*m1));

    ASSERT_TRUE(database_->deleteRawEventsWithMaxRowID(1, &error)) << error.description();
    EXPECT_EQ(database_->nextMetadataFingerprintToProcess(&error), metadataFingerprint(*m2));
    EXPECT_EQ(database_->containsRawEventWithMetadataFingerprint(metadataFingerprint(*m1), &error),
              std::optional<bool>(true));
    ASSERT_TRUE(database_->deleteRawEventsWithMaxRowID(3, &error)) << error.description();
    EXPECT_EQ(database_->containsRawEventWithMetadataFingerprint(metadataFingerprint(*m1), &error),
              std::optional<bool>(false));
    ASSERT_TRUE(database_->deleteUnusedRawEventsMetadata(&error)) << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM raw_events_metadata"), "0");
}

TEST_F(DatabaseEventsTest, StaleRawEventsGoWhetherOldOrInTheFuture) {
  store({event("old", kNow - 29 * kDay)}, metadata("old"));
  store({event("now", kNow)}, metadata("now"));
  store({event("future", kNow + 29 * kDay)}, metadata("future"));
  expectRefused({{"a negative age",
                  [](MSRDatabase& d, ns::Error* e) { return d.deleteStaleRawEventsDataOlderThanMaxAge(-1, e); }, 1,
                  "Cannot delete stale raw events given negative time period"}});
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM raw_events"), "3");
  worker([&] {
    ns::Error error;
    EXPECT_TRUE(database_->deleteStaleRawEventsDataOlderThanMaxAge(28 * kDay, &error)) << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT group_concat(name) FROM raw_events"), "now");
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM raw_events_metadata"), "1") << "the unused metadata went too";
}

TEST_F(DatabaseEventsTest, AggregatesAreStoredByName) {
  // A row of an older version, its add-on columns NULL, reads with their
  // defaults.
  sqlite(path_, "INSERT INTO events (name, lifetime_count, current_bundle_count, last_fire_timestamp) "
                "VALUES ('_old', 4, 2, 1699999999.5)");
  worker([&] {
    ns::Error error;
    auto old = database_->eventAggregatesWithName("_old", &error);
    ASSERT_NE(old, nullptr) << error.description();
    EXPECT_EQ(old->lifetimeCount(), 4);
    EXPECT_EQ(old->currentBundleCount(), 2);
    EXPECT_EQ(old->currentSessionCount(), 0);
    EXPECT_EQ(old->lastFireTimestamp(), 1699999999.5);
    EXPECT_EQ(old->lastBundledTimestamp(), 0.0);
    EXPECT_EQ(old->lastSampledComplexEventID(), std::nullopt);
    EXPECT_EQ(old->lastSamplingRate(), 1);
    EXPECT_FALSE(old->lastExemptFromSampling());
    EXPECT_EQ(old->lastBundledDay(), 0);

    auto full = MSREventAggregates::initWithName("purchase", 7, 3, 2, kNow);
    full->setLastBundledTimestamp(kNow - 60);
    full->setLastSampledComplexEventID(99);
    full->setLastSamplingRate(10);
    full->setLastExemptFromSampling(true);
    full->setLastBundledDay(19675);
    ASSERT_TRUE(database_->updateEventAggregates(full, &error)) << error.description();
    ASSERT_TRUE(database_->updateEventAggregates(MSREventAggregates::initWithName("x_y", 1, 1, 1, kNow), &error));
    EXPECT_EQ(database_->eventAggregatesWithName("none", &error), nullptr);
    EXPECT_EQ(database_->publicEventCount(&error), std::optional<int64_t>(2)) << "purchase and x_y";
    auto all = database_->allEventAggregates(&error);
    ASSERT_TRUE(all && all->size() == 3) << error.description();
    EXPECT_EQ(all->at(1)->name(), "purchase");
    EXPECT_EQ(all->at(1)->lastSampledComplexEventID(), std::optional<int64_t>(99));
    EXPECT_TRUE(all->at(1)->lastExemptFromSampling());
    ASSERT_TRUE(database_->clearCurrentSessionCounts(&error)) << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT name, lifetime_count, current_bundle_count, current_session_count, "
                          "last_sampled_complex_event_id, last_sampling_rate, last_exempt_from_sampling, "
                          "last_bundled_day FROM events ORDER BY rowid"),
            "_old|4|2|0||||\npurchase|7|3|0|99|10|1|19675\nx_y|1|1|0||1|0|0");
  expectRefused({{"no aggregates", [](MSRDatabase& d, ns::Error* e) { return d.updateEventAggregates(nullptr, e); }, 3,
                  "Received empty event aggregates object for getting dictionary representation"}});
}

}  // namespace
}  // namespace msr_testing
