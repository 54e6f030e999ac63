// Event sampling inside bundling, with the roll fixed: rates, exemption on
// a new sampling day, dropping, and the state kept in the event aggregates.
#include <gtest/gtest.h>

#include <cstring>

#include "Libraries/Measurement/Core/tests/BundleTestSupport.h"

namespace {

using msr_testing::BundleTest;

constexpr double kHour = 1699999200.0;  // 2023-11-14 22:00:00 UTC
constexpr int32_t kDay = 19675;         // its day number in UTC

class MSRMeasurementSamplingTest : public BundleTest {
 protected:
  void SetUp() override {
    BundleTest::SetUp();
    today();  // the day offset is drawn before the draws are fixed
  }
  // Every draw answers `value`: for rate 10, 10 wins (10 mod 10 = 0) and 7
  // loses (the draw keeps values from 2^64 mod 10 = 6 up).
  static void fixRoll(uint64_t value) {
    MSRRandomSetSourceForTesting([value](uint8_t* bytes, size_t count) {
      for (size_t at = 0; at < count; at += sizeof value) {
        std::memcpy(bytes + at, &value, std::min(sizeof value, count - at));
      }
    });
  }
  static constexpr uint64_t kWon = 10, kLost = 7;

  void configureSampling(const std::vector<std::pair<std::string, std::string>>& more = {}) {
    auto settings = more;
    settings.emplace_back("measurement.event_sampling_enabled", "1");
    configure(settings,
              "event_config { name: \"sampled\" field_4: 10 } event_config { name: \"one\" field_4: 1 } ");
  }
  // The sampling state of a name as stored.
  std::string state(const std::string& name) {
    return sql(
        "SELECT last_sampling_rate, last_bundled_day, last_exempt_from_sampling, "
        "ifnull(last_sampled_complex_event_id, '-'), last_bundled_timestamp FROM events WHERE name = '" +
        name + "'");
  }
  // Aggregates of a name stored before the step.
  void storeAggregates(const std::string& name, double lastFire, int32_t lastBundledDay) {
    worker([&] {
      auto aggregates = MSREventAggregates::initWithName(name, 1, 1, 1, lastFire);
      aggregates->setLastBundledDay(lastBundledDay);
      ASSERT_TRUE(engine_->database()->updateEventAggregates(aggregates, nullptr));
    });
  }
  // An event of "sampled" carrying an int parameter the validator keeps
  // for no logged event, as a raw row holds it when the engine itself
  // added it: made from its upload message.
  static std::shared_ptr<MSREvent> sampledWith(double timestamp, const std::string& name, int64_t value) {
    std::string text = "name: \"sampled\" timestamp_millis: " + std::to_string(static_cast<int64_t>(timestamp * 1000)) +
                       " params { name: \"_o\" string_value: \"auto\" } params { name: \"" + name +
                       "\" int_value: " + std::to_string(value) + " }";
    auto message = MSRPBEvent::initWithBuffer(
        msr_testing::bytesOf(msr_testing::protoc("--encode=msrpb.Event UploadMessages.proto", text)));
    EXPECT_NE(message, nullptr);
    auto made = message ? MSREvent::initWithEventProto(*message) : nullptr;
    EXPECT_NE(made, nullptr);
    return made;
  }
};

TEST_F(MSRMeasurementSamplingTest, RateOneOrNoneKeepsEveryEventWithoutARate) {
  configureSampling();
  fixRoll(kLost);
  store({event("one", kHour + 1), event("one", kHour + 2), event("free", kHour + 3), event("free", kHour + 4)});
  ASSERT_EQ(bundleAll(), 1);
  auto bundles = queued();
  ASSERT_EQ(bundles.size(), 1u);
  EXPECT_EQ(bundles[0].eventNames(), (std::vector<std::string>{"one", "one", "free", "free"}));
  for (const auto& e : bundles[0].events) EXPECT_EQ(e.params.count("_sr"), 0u) << e.text;
  EXPECT_TRUE(monitor_.contains(23154));
  EXPECT_EQ(state("free"), "1|" + std::to_string(kDay) + "|0|-|1699999204.0") << "bundled time and day kept";
}

TEST_F(MSRMeasurementSamplingTest, ALostRollIsExemptOnANewDayAndDroppedLaterThatDay) {
  configureSampling();
  fixRoll(kLost);
  store({sampledWith(kHour + 1, "_eid", 77), sampledWith(kHour + 2, "_eid", 88)});
  ASSERT_EQ(bundleAll(), 1);
  auto bundles = queued();
  ASSERT_EQ(bundles.size(), 1u);
  ASSERT_EQ(bundles[0].events.size(), 1u) << "the second lost roll of the day is dropped";
  EXPECT_EQ(bundles[0].events[0].timestamp, 1699999201000);
  EXPECT_EQ(bundles[0].events[0].params["_sr"], "10");
  EXPECT_EQ(bundles[0].events[0].params["_efs"], "1");
  EXPECT_EQ(state("sampled"), "10|" + std::to_string(kDay) + "|1|88|1699999201.0");

  // A group that sampling empties is dropped without a bundle.
  store({event("sampled", kHour + 3, {}, "auto")});
  EXPECT_TRUE(step());
  EXPECT_TRUE(monitor_.contains(23159));
  EXPECT_EQ(sql("SELECT (SELECT count(*) FROM queue), (SELECT count(*) FROM raw_events)"), "1|0");

  // A won roll is kept with its rate only and forgets the dropped event.
  fixRoll(kWon);
  store({event("sampled", kHour + 4, {}, "auto")});
  ASSERT_EQ(bundleAll(), 1);
  bundles = queued();
  ASSERT_EQ(bundles.size(), 2u);
  ASSERT_EQ(bundles[1].events.size(), 1u);
  EXPECT_EQ(bundles[1].events[0].params["_sr"], "10");
  EXPECT_EQ(bundles[1].events[0].params.count("_efs"), 0u);
  EXPECT_EQ(state("sampled"), "10|" + std::to_string(kDay) + "|1|-|1699999204.0");
}

TEST_F(MSRMeasurementSamplingTest, AnEventCarryingItsOwnRateKeepsIt) {
  configureSampling();
  fixRoll(kWon);
  store({sampledWith(kHour + 1, "_sr", 3)});
  ASSERT_EQ(bundleAll(), 1);
  auto bundles = queued();
  ASSERT_EQ(bundles.size(), 1u);
  ASSERT_EQ(bundles[0].events.size(), 1u);
  EXPECT_EQ(bundles[0].events[0].params["_sr"], "3");
  EXPECT_EQ(bundles[0].events[0].text.find("_sr"), bundles[0].events[0].text.rfind("_sr")) << "only one \"_sr\"";
}

TEST_F(MSRMeasurementSamplingTest, TheComparisonDayFollowsTheCacheThePreviousTimestampAndTheAccountZone) {
  struct Case {
    const char* what;
    double lastFire;          // becomes the event's previous timestamp
    int32_t lastBundledDay;   // 0: none cached
    const char* zoneMinutes;  // the account's offset
    bool kept;
  } cases[] = {
      {"no cached day, previous event the same day", kHour - 100, 0, "0", false},
      {"no cached day, previous event two days before", kHour - 2 * 86400, 0, "0", true},
      {"cached day today", kHour - 2 * 86400, kDay, "0", false},
      {"cached day yesterday", kHour - 100, kDay - 1, "0", true},
      // 22:00 UTC plus two hours is the next day in the account's zone.
      {"cached day today in UTC, tomorrow in the account's zone", kHour - 100, kDay, "120", true},
      {"cached day tomorrow in the account's zone", kHour - 100, kDay + 1, "120", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fresh();
    configureSampling({{"measurement.account.time_zone_offset_minutes", c.zoneMinutes}});
    fixRoll(kLost);
    storeAggregates("sampled", c.lastFire, c.lastBundledDay);
    store({event("sampled", kHour + 1, {}, "auto"), event("marker", kHour + 2)});
    ASSERT_EQ(bundleAll(), 1);
    auto bundles = queued();
    ASSERT_EQ(bundles.size(), 1u);
    std::vector<std::string> expected = {"marker"};
    if (c.kept) expected.insert(expected.begin(), "sampled");
    EXPECT_EQ(bundles[0].eventNames(), expected);
  }
}

TEST_F(MSRMeasurementSamplingTest, TheStateIsWrittenBackOncePerStep) {
  configureSampling();
  fixRoll(kLost);
  sql("CREATE TABLE writes (name TEXT);"
      "CREATE TRIGGER count_inserts AFTER INSERT ON events BEGIN INSERT INTO writes VALUES (new.name); END;"
      "CREATE TRIGGER count_updates AFTER UPDATE ON events BEGIN INSERT INTO writes VALUES (new.name); END;");
  store({event("sampled", kHour + 1, {}, "auto"), event("sampled", kHour + 2, {}, "auto"),
         event("sampled", kHour + 3, {}, "auto"), event("marker", kHour + 4)});
  ASSERT_EQ(bundleAll(), 1);
  EXPECT_EQ(sql("SELECT name, count(*) FROM writes GROUP BY name ORDER BY name"), "marker|2\nsampled|2")
      << "one write for the counts of each name, then one for its sampling state";
  EXPECT_EQ(bundleSizes(), std::vector<size_t>{2});
}

TEST_F(MSRMeasurementSamplingTest, SamplingIsOffUnlessEnabled) {
  configure({}, "event_config { name: \"sampled\" field_4: 10 } ");
  fixRoll(kLost);
  store({event("sampled", kHour + 1, {}, "auto"), event("sampled", kHour + 2, {}, "auto")});
  ASSERT_EQ(bundleAll(), 1);
  auto bundles = queued();
  ASSERT_EQ(bundles.size(), 1u);
  EXPECT_EQ(bundles[0].events.size(), 2u);
  EXPECT_EQ(bundles[0].events[0].params.count("_sr"), 0u);
}

}  // namespace
