// Bundling raw events on the real database: groups, limits, aggregates,
// engagement, bundle metadata and the all-or-nothing step, each queued
// bundle read back with sqlite3, gzip and protoc.
#include <gtest/gtest.h>

#include "Libraries/Measurement/Core/tests/BundleTestSupport.h"

namespace {

using msr_testing::BundleTest;

class MSRMeasurementBundleTest : public BundleTest {};

// The hour that holds kNow, in seconds.
constexpr double kHour = 1699999200.0;  // 2023-11-14 22:00:00 UTC

TEST_F(MSRMeasurementBundleTest, GroupsAreConsecutiveRowsOfOneHourWithinTheCountLimit) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> settings;
    std::vector<double> timestamps;    // one raw event each, row ids 1..n
    std::string deleteFirst;           // rows removed before bundling
    std::vector<size_t> bundleSizes;   // events per queued bundle, oldest first
  } cases[] = {
      {"rows 5, 6 and 8", {}, std::vector<double>(8, kHour + 10), "rowid IN (1, 2, 3, 4, 7)", {2, 1}},
      {"10:59:59 and 11:00:00", {}, {kHour - 1, kHour}, "", {1, 1}},
      {"1,500 small rows", {}, std::vector<double>(1500, kHour + 5), "", {1000, 500}},
      {"1,500 rows with the count limit raised", {{"measurement.upload.max_events_per_bundle", "5000"}},
       std::vector<double>(1500, kHour + 5), "", {1000, 500}},
      {"the count limit lowered", {{"measurement.upload.max_events_per_bundle", "2"}},
       std::vector<double>(5, kHour + 5), "", {2, 2, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fresh();
    configure(c.settings);
    std::vector<std::shared_ptr<MSREvent>> events;
    for (double t : c.timestamps) events.push_back(event("level_up", t));
    store(events);
    if (!c.deleteFirst.empty()) sql("DELETE FROM raw_events WHERE " + c.deleteFirst);
    EXPECT_EQ(bundleAll(), static_cast<int>(c.bundleSizes.size()));
    EXPECT_EQ(bundleSizes(), c.bundleSizes);
    EXPECT_EQ(sql("SELECT count(*) FROM raw_events") + sql("SELECT count(*) FROM raw_events_metadata"), "00");
  }
}

TEST_F(MSRMeasurementBundleTest, EachBundleCarriesTheNextSequenceIndexAndThePreviousWindow) {
  store({event("a", kHour + 1), event("b", kHour + 2.5)});
  store({event("c", kHour + 3600 + 7)});
  ASSERT_EQ(bundleAll(), 2);
  auto bundles = queued();
  ASSERT_EQ(bundles.size(), 2u);
  EXPECT_EQ(bundles[0].fields["bundle_sequence_index"], "1");
  EXPECT_EQ(bundles[0].fields["start_timestamp_millis"], "1699999201000");
  EXPECT_EQ(bundles[0].fields["end_timestamp_millis"], "1699999202500");
  EXPECT_EQ(bundles[0].fields.count("previous_end_timestamp_millis"), 0u);
  EXPECT_EQ(bundles[0].fields.count("previous_start_timestamp_millis"), 0u);
  EXPECT_EQ(bundles[1].fields["bundle_sequence_index"], "2");
  EXPECT_EQ(bundles[1].fields["previous_start_timestamp_millis"], "1699999201000");
  EXPECT_EQ(bundles[1].fields["previous_end_timestamp_millis"], "1699999202500");
  EXPECT_EQ(bundles[1].fields["start_timestamp_millis"], "1700002807000");
  EXPECT_EQ(sql("SELECT last_bundle_index, last_bundle_start_timestamp, last_bundle_end_timestamp FROM app_metadata"),
            "2|1700002807.0|1700002807.0");
  EXPECT_EQ(engine_->suspendedUploadTimestamp(), 0);
  EXPECT_FALSE(step()) << "nothing left";
}

TEST_F(MSRMeasurementBundleTest, BlocklistedEventsAreRejectedAndAdImpressionsRenamed) {
  configure({}, "event_config { name: \"blocked_one\" field_2: true } ");
  store({event("blocked_one", kHour + 1), event("blocked_one", kHour + 2)});
  bool blocked = false;
  worker([&] { blocked = engine_->remoteConfigInstance()->isEventBlocklisted("blocked_one"); });
  ASSERT_TRUE(blocked);
  store({event("ad_impression", kHour + 3, {{"ad_platform", MSRValue::initWithString("x")}}),
         event("blocked_one", kHour + 4)},
        metadataBundle("1:123:ios:other"));
  EXPECT_TRUE(step()) << "a group only of blocklisted events is dropped";
  EXPECT_EQ(sql("SELECT count(*) FROM queue"), "0");
  EXPECT_EQ(sql("SELECT count(*) FROM raw_events"), "2");
  EXPECT_TRUE(monitor_.contains(23100));
  EXPECT_TRUE(step());
  EXPECT_FALSE(step());
  auto bundles = queued();
  ASSERT_EQ(bundles.size(), 1u);
  EXPECT_EQ(bundles[0].eventNames(), std::vector<std::string>{"_ai"});
  EXPECT_EQ(bundles[0].events[0].params["ad_platform"], "\"x\"");
  EXPECT_EQ(sql("SELECT name FROM events ORDER BY name"), "_ai");
}

TEST_F(MSRMeasurementBundleTest, ThePublicConversionOverTheDailyLimitLosesItsMark) {
  auto conversion = [](double t) {
    auto e = event("purchase", t);
    e->setConversion(true);
    return e;
  };
  store({conversion(kHour + 1), conversion(kHour + 2)});
  sql("UPDATE app_metadata SET day = " + std::to_string(today()) + ", daily_conversions_count = 9999");
  ASSERT_EQ(bundleAll(), 1);
  auto bundles = queued();
  ASSERT_EQ(bundles.size(), 1u);
  ASSERT_EQ(bundles[0].events.size(), 2u);
  EXPECT_EQ(bundles[0].events[0].params["_c"], "1") << "the 10,000th keeps it";
  EXPECT_EQ(bundles[0].events[0].params.count("_err"), 0u);
  EXPECT_EQ(bundles[0].events[1].params.count("_c"), 0u) << "the 10,001st loses it";
  EXPECT_EQ(bundles[0].events[1].params["_err"], "10");
  EXPECT_EQ(sql("SELECT daily_conversions_count FROM app_metadata"), "10000");
  EXPECT_TRUE(monitor_.contains(23102));

  // Yesterday's full count does not hold today back: the day starts at 0.
  fresh();
  store({conversion(kHour + 1)});
  sql("UPDATE app_metadata SET day = " + std::to_string(today() - 1) + ", daily_conversions_count = 10000");
  ASSERT_EQ(bundleAll(), 1);
  bundles = queued();
  ASSERT_EQ(bundles.size(), 1u);
  EXPECT_EQ(bundles[0].events[0].params["_c"], "1");
  EXPECT_EQ(sql("SELECT day, daily_conversions_count FROM app_metadata"), std::to_string(today()) + "|1");
}

TEST_F(MSRMeasurementBundleTest, RealtimeEventsPastTheDailyCapLoseTheirMark) {
  auto realtime = [](const std::string& name, double t) {
    auto e = event(name, t);
    e->setRealtime(true);
    return e;
  };
  sql("UPDATE app_metadata SET day = " + std::to_string(today()) + ", daily_real_time_conversion_events_count = 9");
  store({realtime("a", kHour + 1), realtime("b", kHour + 2), realtime("_iap", kHour + 3), event("c", kHour + 4)},
        nullptr, true);
  ASSERT_EQ(bundleAll(), 1);
  auto bundles = queued();
  ASSERT_EQ(bundles.size(), 1u);
  ASSERT_EQ(bundles[0].events.size(), 4u);
  EXPECT_EQ(bundles[0].events[0].params["_r"], "1") << "the 10th of the day";
  EXPECT_EQ(bundles[0].events[1].params.count("_r"), 0u) << "over the cap";
  EXPECT_EQ(bundles[0].events[2].params["_r"], "1") << "purchases are not capped";
  EXPECT_EQ(bundles[0].events[3].params.count("_r"), 0u);
  EXPECT_EQ(sql("SELECT daily_real_time_conversion_events_count, is_realtime FROM app_metadata, queue"), "10|1");
}

TEST_F(MSRMeasurementBundleTest, RedundantEngagementIsRemovedWhenSwitchedOn) {
  MSRValueMap firstRun{{"_et", MSRValue::initWithInt64(40)}, {"_fr", MSRValue::initWithInt64(1)}};
  MSRValueMap engaged{{"_et", MSRValue::initWithInt64(60)}};
  for (bool removal : {false, true}) {
    SCOPED_TRACE(removal);
    fresh();
    configure({});
    manager_->client->setFlag("redundant_engagement_removal_enabled", ns::Value(removal));
    store({event("_e", kHour + 1, firstRun, "auto"), event("_e", kHour + 2, engaged, "auto")});
    ASSERT_EQ(bundleAll(), 1);
    auto bundles = queued();
    ASSERT_EQ(bundles.size(), 1u);
    EXPECT_EQ(bundles[0].events.size(), removal ? 1u : 2u);
    EXPECT_EQ(bundles[0].events.back().params["_et"], "60");
    EXPECT_EQ(bundles[0].userAttributes["_lte"], "60") << "engagement with \"_fr\" never counts";
  }
}

TEST_F(MSRMeasurementBundleTest, EngagementUpdatesLifetimeAndSessionPropertiesAndASessionStartResetsThem) {
  // Stored before: the lifetime and session totals, and a name's counts.
  worker([&] {
    auto database = engine_->database();
    database->updateUserAttribute(MSRUserAttribute::initWithOrigin("auto", "_lte", MSRValue::initWithInt64(1000), 1),
                                  nullptr);
    database->updateUserAttribute(MSRUserAttribute::initWithOrigin("auto", "_se", MSRValue::initWithInt64(300), 1),
                                  nullptr);
    database->updateEventAggregates(MSREventAggregates::initWithName("_e", 5, 5, 5, kHour - 100), nullptr);
  });
  // The metadata carries the old values, as the pipeline stored them.
  auto metadata = metadataBundle(kAppID);
  auto lte = MSRUserAttribute::initWithOrigin("auto", "_lte", MSRValue::initWithInt64(1000), 1)->protoUserAttribute();
  MSRPBMessageSetArray(metadata.get(), 2, {std::shared_ptr<NANOMessageBase>(lte)});
  MSRValueMap engaged{{"_et", MSRValue::initWithInt64(25)}};

  store({event("_e", kHour + 1, engaged, "auto")}, metadata);
  ASSERT_EQ(bundleAll(), 1);
  store({event("_s", kHour + 2, {}, "auto"), event("_e", kHour + 3, engaged, "auto")}, metadata);
  ASSERT_EQ(bundleAll(), 1);
  auto bundles = queued();
  ASSERT_EQ(bundles.size(), 2u);
  EXPECT_EQ(bundles[0].userAttributes["_lte"], "1025") << "replaced in place";
  EXPECT_EQ(bundles[0].userAttributes["_se"], "325") << "appended";
  EXPECT_EQ(bundles[0].events[0].text.find("previous_timestamp_millis: 1699999100000") != std::string::npos, true)
      << bundles[0].events[0].text;
  EXPECT_EQ(bundles[1].userAttributes["_lte"], "1050");
  EXPECT_EQ(bundles[1].userAttributes["_se"], "25") << "a session start begins the session total again";
  EXPECT_EQ(sql("SELECT name, value FROM user_attributes ORDER BY name"), "_lte|1050\n_se|25");
  EXPECT_EQ(sql("SELECT name, lifetime_count, current_bundle_count, current_session_count FROM events ORDER BY name"),
            "_e|7|7|1\n_s|1|1|1")
      << "the session start cleared the session counts before its own group was counted";
}

TEST_F(MSRMeasurementBundleTest, BundleMetadataComesFromTheConfigurationMonitorAndIdentity) {
  configure({});
  installMainBundle(ns::Dictionary{{"CFBundleIdentifier", "com.example.notes"}});
  auto metadata = metadataBundle("");
  MSRPBMessageClearField(metadata.get(), msr_testing::kBundleAppID);
  std::string expectedAppID;
  worker([&] { expectedAppID = engine_->identity()->appID().value_or("com.example.notes"); });
  store({event("a", kHour + 1)}, metadata);
  store({event("b", kHour + 3601)}, metadata);
  // No health entry, and the last sample two days ago: the first bundle
  // says so.
  MSRMeasurement::monitor()->clearMonitoringData();
  persistedConfig_->setLastMonitorDataSampledTimestamp(kNow - 2 * 86400);
  ASSERT_EQ(bundleAll(), 2) << testing::PrintToString(monitor_.codes());
  auto bundles = queued();
  ASSERT_EQ(bundles.size(), 2u);
  EXPECT_EQ(bundles[0].fields["experiment_ids"], "7,11");
  EXPECT_EQ(bundles[0].fields["config_version"], "42");
  EXPECT_EQ(bundles[0].fields["app_id"], "\"" + expectedAppID + "\"") << "the identity's, else the bundle's";
  EXPECT_EQ(bundles[0].fields["monitoring_data"], "\"0:\"") << "a whole period since the last sample";
  EXPECT_EQ(bundles[1].fields.count("monitoring_data"), 0u) << "sampled just now";
  EXPECT_EQ(persistedConfig_->lastMonitorDataSampledTimestamp(), kNow);
}

TEST_F(MSRMeasurementBundleTest, TheSessionStitchingTokenNeedsTheFeatureAndAnalyticsStorage) {
  struct Case {
    const char* what;
    bool feature;
    const char* analyticsStorage;
    bool kept;
  } cases[] = {
      {"feature off", false, "granted", false},
      {"feature on", true, "granted", true},
      {"feature on, analytics storage denied", true, "denied", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fresh();
    configure({{"measurement.session_stitching_token_enabled", c.feature ? "1" : "0"}});
    MSRConsentSettingsUtil::setConsentSettings(ns::Dictionary{{"analytics_storage", c.analyticsStorage}});
    auto metadata = metadataBundle(kAppID);
    MSRPBMessageSetString(metadata.get(), 43, "token-1");
    store({event("a", kHour + 1)}, metadata);
    ASSERT_EQ(bundleAll(), 1);
    auto bundles = queued();
    ASSERT_EQ(bundles.size(), 1u);
    EXPECT_EQ(bundles[0].fields.count("session_stitching_token"), c.kept ? 1u : 0u);
  }
}

TEST_F(MSRMeasurementBundleTest, ADatabaseErrorInsideAStepChangesNothing) {
  auto conversion = event("purchase", kHour + 1);
  conversion->setConversion(true);
  MSRValueMap engaged{{"_et", MSRValue::initWithInt64(25)}};
  store({conversion, event("_e", kHour + 2, engaged, "auto"), event("_s", kHour + 3, {}, "auto")});
  worker([&] {
    engine_->database()->updateEventAggregates(MSREventAggregates::initWithName("purchase", 4, 3, 2, kHour - 10),
                                               nullptr);
  });
  sql("UPDATE app_metadata SET day = " + std::to_string(today()) + ", daily_conversions_count = 7");
  const std::string state =
      "SELECT (SELECT group_concat(rowid) FROM raw_events), (SELECT count(*) FROM raw_events_metadata), "
      "(SELECT group_concat(name || ':' || lifetime_count || ':' || current_bundle_count || ':' || "
      "current_session_count || ':' || last_fire_timestamp) FROM events), "
      "(SELECT count(*) FROM user_attributes), day, daily_conversions_count, last_bundle_index, "
      "last_bundle_end_timestamp FROM app_metadata";
  std::string before = sql(state);
  EXPECT_EQ(before, "1,2,3|1|purchase:4:3:2:1699999190.0|0|" + std::to_string(today()) + "|7|0|0.0");
  sql("CREATE TRIGGER refuse_bundles BEFORE INSERT ON queue BEGIN SELECT RAISE(ABORT, 'refused'); END");
  EXPECT_FALSE(step());
  EXPECT_TRUE(monitor_.contains(23115));
  EXPECT_EQ(sql(state), before);
  EXPECT_EQ(sql("SELECT count(*) FROM queue"), "0");

  sql("DROP TRIGGER refuse_bundles");
  EXPECT_TRUE(step());
  EXPECT_EQ(bundleSizes(), std::vector<size_t>{3});
  EXPECT_EQ(sql("SELECT daily_conversions_count FROM app_metadata"), "8");
  EXPECT_EQ(sql("SELECT lifetime_count FROM events WHERE name = 'purchase'"), "5");
}

TEST_F(MSRMeasurementBundleTest, AnEventAtOrOverTheSizeLimitTravelsAloneAndTheRestFollow) {
  std::vector<MSRValueMap> items;
  for (int i = 0; i < 200; ++i) {
    MSRValueMap item;
    for (int k = 0; k < 3; ++k) {
      item.insert_or_assign("item_" + std::to_string(k), MSRValue::initWithString(std::string(100, static_cast<char>('a' + k))));
    }
    items.push_back(item);
  }
  auto purchase = event("purchase", kHour + 2, {{"items", MSRValue::initWithArray(items)}});
  ASSERT_GE(purchase->protoEvent()->protoBuffer()->size(), 65536u);
  store({event("before", kHour + 1), purchase, event("after", kHour + 3), event("after", kHour + 4)});
  EXPECT_EQ(bundleAll(), 3);
  auto bundles = queued();
  ASSERT_EQ(bundles.size(), 3u);
  EXPECT_EQ(bundles[0].eventNames(), std::vector<std::string>{"before"});
  EXPECT_EQ(bundles[1].eventNames(), std::vector<std::string>{"purchase"});
  EXPECT_EQ(bundles[2].eventNames(), (std::vector<std::string>{"after", "after"}));
  EXPECT_GT(std::stoll(sql("SELECT length(data) FROM queue WHERE rowid = 2")), 0);
  size_t carried = 0;
  for (size_t at = bundles[1].text.find("param_value {"); at != std::string::npos;
       at = bundles[1].text.find("param_value {", at + 1)) {
    ++carried;
  }
  EXPECT_EQ(carried, 800u) << "the purchase arrives whole: 200 items of 3 entries";
  // The engine's own decoder reads the large bundle back too.
  worker([&] {
    ns::Error error;
    auto read = engine_->database()->queryBundlesWithRowIDs({2}, &error);
    ASSERT_TRUE(read.has_value()) << error.description();
    ASSERT_EQ(read->size(), 1u);
    auto events = MSRPBMessageGetArray<MSRPBEvent>(read->front().first.get(), 1);
    ASSERT_TRUE(events.has_value());
    ASSERT_EQ(events->size(), 1u);
    EXPECT_GE(MSRPBArrayElementMessage<MSRPBEvent>(events->front())->protoBuffer()->size(), 65536u);
  });

  // With the size limit at its minimum every event travels alone.
  configure({{"measurement.upload.max_batch_size", "0"}});
  store({event("x", kHour + 5), event("y", kHour + 6)});
  EXPECT_EQ(bundleAll(), 2);
  EXPECT_EQ(bundleSizes(), (std::vector<size_t>{1, 1, 2, 1, 1}));
}

TEST_F(MSRMeasurementBundleTest, EngagementTotalsSaturateAtTheInt64Range) {
  worker([&] {
    engine_->database()->updateUserAttribute(
        MSRUserAttribute::initWithOrigin("auto", "_lte", MSRValue::initWithInt64(INT64_MAX - 5), 1), nullptr);
  });
  MSRValueMap huge{{"_et", MSRValue::initWithInt64(INT64_MAX - 10)}};
  MSRValueMap more{{"_et", MSRValue::initWithInt64(100)}};
  store({event("_e", kHour + 1, huge, "auto"), event("_e", kHour + 2, more, "auto")});
  ASSERT_EQ(bundleAll(), 1);
  auto bundles = queued();
  ASSERT_EQ(bundles.size(), 1u);
  EXPECT_EQ(bundles[0].userAttributes["_lte"], std::to_string(INT64_MAX));
  EXPECT_EQ(bundles[0].userAttributes["_se"], std::to_string(INT64_MAX));
  EXPECT_EQ(sql("SELECT value FROM user_attributes WHERE name = '_lte'"), std::to_string(INT64_MAX));
}

TEST_F(MSRMeasurementBundleTest, PurchasesInTheSandboxAreMarked) {
  for (bool sandbox : {false, true}) {
    SCOPED_TRACE(sandbox);
    fresh();
    ns::DeviceFacts facts = device_.device().facts();
    facts.sandboxReceipt = sandbox;
    device_.device().setFacts(facts);
    installMainBundle(ns::Dictionary{{"CFBundleIdentifier", "com.example.notes"}});
    store({event("_iap", kHour + 1, {}, "auto"), event("other", kHour + 2)});
    ASSERT_EQ(bundleAll(), 1);
    auto bundles = queued();
    ASSERT_EQ(bundles.size(), 1u);
    ASSERT_EQ(bundles[0].events.size(), 2u);
    EXPECT_EQ(bundles[0].events[0].params.count("sandbox"), sandbox ? 1u : 0u);
    if (sandbox) EXPECT_EQ(bundles[0].events[0].params["sandbox"], "1");
    EXPECT_EQ(bundles[0].events[1].params.count("sandbox"), 0u) << "only purchases";
  }
}

}  // namespace
