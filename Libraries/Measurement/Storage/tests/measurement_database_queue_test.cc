// The upload queue and stale-data deletion on the real file: every stored
// bundle checked with sqlite3, gzip and protoc; batches, retry counts and
// the deletion schedule on a virtual clock.
#include "Libraries/Measurement/Storage/testing/MSRDatabaseCoreSteps.h"
#include "Libraries/Measurement/Storage/tests/DatabaseTestSupport.h"

namespace msr_testing {
namespace {

constexpr double kDay = 86400;
constexpr int32_t kBundleMonitoringData = 25, kBundleRetryCount = 35;
constexpr const char* kAppID = "1:123:ios:abc";

class DatabaseQueueTest : public ClockedDatabaseTest {
 protected:
  std::shared_ptr<MSRPersistedConfig> persistedConfigForDatabase() override {
    persistedConfig_ = MSRPersistedConfig::initWithSuiteName("com.zorori.zmp.measurement");
    // A deletion ran a moment ago, so the next is not due.
    persistedConfig_->setLastDeleteStaleBundlesTimestamp(kNow - 100);
    return persistedConfig_;
  }

  // A bundle ending at `end` (seconds) whose encoding is exactly `size`
  // bytes (padded with monitoring data), or as small as it comes when 0.
  static std::shared_ptr<MSRPBMeasurementBundle> bundle(double end = kNow - 10, size_t size = 0,
                                                        const char* appID = kAppID) {
    auto message = MSRPBMeasurementBundle::initWithMessageInfo(nullptr);
    MSRPBMessageSetString(message.get(), kBundleAppID, appID);
    MSRPBMessageSetInt64(message.get(), kBundleEnd, static_cast<int64_t>(end * 1000));
    if (size == 0) return message;
    size_t padding = size;
    for (int attempt = 0; attempt < 4; ++attempt) {
      MSRPBMessageSetString(message.get(), kBundleMonitoringData, std::string(padding, 'm'));
      size_t encoded = message->protoBuffer()->size();
      if (encoded == size) return message;
      padding = padding + size - encoded;
    }
    ADD_FAILURE() << "no bundle of " << size << " bytes";
    return message;
  }

  void insert(const std::vector<std::shared_ptr<MSRPBMeasurementBundle>>& bundles, bool isRealtime = false) {
    worker([&] {
      for (const auto& b : bundles) {
        ns::Error error;
        ASSERT_TRUE(database_->insertBundle(b, isRealtime, &error)) << error.description();
      }
    });
  }

  // The row ids of the batch (its bundles checked against the inserted
  // encodings by size).
  std::vector<int64_t> batch(int64_t countLimit, int64_t sizeLimit) {
    std::vector<int64_t> ids;
    worker([&] {
      ns::Error error;
      auto bundles = database_->queryBundlesWithCountLimit(countLimit, sizeLimit, &error);
      ASSERT_TRUE(bundles.has_value()) << error.description();
      for (const auto& [b, rowID] : *bundles) ids.push_back(rowID);
    });
    return ids;
  }

  std::shared_ptr<MSRPersistedConfig> persistedConfig_;
};

TEST_F(DatabaseQueueTest, AQueuedBundleIsTheGzipOfItsEncoding) {
  auto plain = bundle(kNow - 9.5);
  auto retried = bundle(kNow - 2);
  MSRPBMessageSetInt32(retried.get(), kBundleRetryCount, 3);
  insert({plain});
  insert({retried}, true);
  EXPECT_EQ(sqlite(path_, "SELECT hex(substr(data, 1, 2)), bundle_end_timestamp, is_realtime, retry_count FROM queue"),
            "1F8B|1699999990.5|0|0\n1F8B|1699999998.0|1|3");

  for (const auto& [row, expected] : {std::pair{1, plain}, std::pair{2, retried}}) {
    SCOPED_TRACE(row);
    std::string file;
    sqliteBlob(path_, "SELECT data FROM queue WHERE rowid = " + std::to_string(row), &file);
    std::string gz = file + ".gz";
    ASSERT_EQ(std::rename(file.c_str(), gz.c_str()), 0);
    std::string out;
    EXPECT_EQ(run("gzip -t " + shellQuoted(gz) + " 2>&1", &out), 0) << out;
    std::string encoded;
    ASSERT_EQ(run("gzip -dc " + shellQuoted(gz), &encoded), 0);
    EXPECT_EQ(bytesOf(encoded), expected->protoBuffer());
    std::string text = protoc("--decode=msrpb.MeasurementBundle UploadMessages.proto", encoded);
    EXPECT_NE(text.find("app_id: \"1:123:ios:abc\""), std::string::npos) << text;
    EXPECT_NE(text.find("end_timestamp_millis: " + std::to_string(row == 1 ? 1699999990500 : 1699999998000)),
              std::string::npos)
        << text;
  }
  auto saved = monitor_.messages();
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(saved.back().code, 12018);
  EXPECT_EQ(saved.back().message, "Saving bundle. size (bytes)");
  EXPECT_EQ(saved.back().contexts.at(0).text(), sqlite(path_, "SELECT length(data) FROM queue WHERE rowid = 2"));
  EXPECT_FALSE(monitor_.contains(12016));
}

TEST_F(DatabaseQueueTest, ABundleWithoutAppIDOrEndIsRefusedAndNothingWritten) {
  auto noAppID = MSRPBMeasurementBundle::initWithMessageInfo(nullptr);
  MSRPBMessageSetInt64(noAppID.get(), kBundleEnd, 1700000000000);
  auto endZero = bundle(0);
  auto endNegative = bundle(-1);
  expectRefused({
      {"no bundle", [](MSRDatabase& d, ns::Error* e) { return d.insertBundle(nullptr, false, e); }, 1,
       "Failed to insert nil bundle"},
      {"an empty bundle",
       [](MSRDatabase& d, ns::Error* e) {
         return d.insertBundle(MSRPBMeasurementBundle::initWithMessageInfo(nullptr), false, e);
       },
       1, "Failed to insert nil bundle"},
      {"no app id", [&](MSRDatabase& d, ns::Error* e) { return d.insertBundle(noAppID, false, e); }, 1,
       "Failed to insert bundle without App ID"},
      {"an empty app id", [&](MSRDatabase& d, ns::Error* e) { return d.insertBundle(bundle(kNow, 0, ""), false, e); },
       1, "Failed to insert bundle without App ID"},
      {"end 0", [&](MSRDatabase& d, ns::Error* e) { return d.insertBundle(endZero, false, e); }, 1,
       "Failed to insert bundle without valid timestamp"},
      {"an end before 1970", [&](MSRDatabase& d, ns::Error* e) { return d.insertBundle(endNegative, false, e); }, 1,
       "Failed to insert bundle without valid timestamp"},
  });
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM queue"), "0");
}

TEST_F(DatabaseQueueTest, StaleDataGoesAtTheNextDueDeletionOnly) {
  insert({bundle(kNow - 30 * kDay), bundle(kNow - 60)});
  EXPECT_TRUE(monitor_.contains(12016)) << "stored outside the queue time";
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM queue"), "2");
  sqlite(path_, "INSERT INTO raw_events (name, timestamp, metadata_fingerprint, data) "
                "VALUES ('old', " + std::to_string(kNow - 29 * kDay) + ", 1, x'00'), ('new', " + std::to_string(kNow) +
                    ", 1, x'00')");

  auto deletion = [&] {
    std::optional<bool> ran;
    worker([&] {
      ns::Error error;
      ran = database_->maybeDeleteStaleData(&error);
      EXPECT_TRUE(ran.has_value()) << error.description();
    });
    return ran.value_or(false);
  };
  EXPECT_FALSE(deletion()) << "the last deletion is less than a day ago";
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM queue"), "2");

  ns::Clock::advance(kDay);
  EXPECT_TRUE(deletion());
  EXPECT_EQ(sqlite(path_, "SELECT bundle_end_timestamp FROM queue"), std::to_string(kNow - 60).substr(0, 10) + ".0");
  EXPECT_EQ(sqlite(path_, "SELECT group_concat(name) FROM raw_events"), "new");
  EXPECT_EQ(persistedConfig_->lastDeleteStaleBundlesTimestamp(), kNow + kDay);
  EXPECT_FALSE(deletion()) << "the second call in a row";
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM queue"), "1");

  expectRefused({{"a negative age",
                  [](MSRDatabase& d, ns::Error* e) { return d.deleteStaleBundlesOlderThanMaxAge(-1, e); }, 1,
                  "Cannot delete stale bundles after negative time period"}});
}

TEST_F(DatabaseQueueTest, UploadBatchesKeepWithinTheSizeLimit) {
  struct Case {
    const char* name;
    std::vector<size_t> sizes;  // 1 stands for a row that does not decode
    int64_t countLimit;
    std::vector<int64_t> taken;  // positions among the rows, from 0
  } cases[] = {
      {"an empty queue", {}, 100, {}},
      {"a first bundle over the limit goes alone", {70000}, 100, {0}},
      {"nothing follows a first bundle over the limit", {70000, 100}, 100, {0}},
      {"the first that does not fit ends the walk", {40000, 30000, 10000}, 100, {0}},
      {"bundles within the limit", {10000, 20000, 30000}, 100, {0, 1, 2}},
      {"the count limit", {10000, 20000, 30000}, 2, {0, 1}},
      {"an unreadable row is skipped", {1, 100, 200}, 100, {1, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sqlite(path_, "DELETE FROM queue");
    for (size_t size : c.sizes) {
      if (size == 1) {
        sqlite(path_, "INSERT INTO queue (data, bundle_end_timestamp, retry_count) VALUES (x'1F8B00', 1, 0)");
      } else {
        insert({bundle(kNow - 10, size)});
      }
    }
    int64_t first = std::stoll(sqlite(path_, "SELECT ifnull(min(rowid), 0) FROM queue"));
    std::vector<int64_t> expected;
    for (int64_t position : c.taken) expected.push_back(first + position);
    EXPECT_EQ(batch(c.countLimit, 65536), expected);
  }
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM queue"), "3") << "the unreadable row stays";
}

TEST_F(DatabaseQueueTest, RetryCountsRiseToTheirCeilingAndTravelInTheBundle) {
  auto insertedWith7 = bundle();
  MSRPBMessageSetInt32(insertedWith7.get(), kBundleRetryCount, 7);
  insert({bundle(), bundle(), bundle(), insertedWith7, bundle()});
  sqlite(path_, "UPDATE queue SET retry_count = 2147483647 WHERE rowid = 5");
  worker([&] {
    ns::Error error;
    ASSERT_TRUE(database_->incrementRetryCounterForBundlesWithIDs({1, 2, 3}, &error)) << error.description();
    ASSERT_TRUE(database_->incrementRetryCounterForBundlesWithIDs({1, 5}, &error)) << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT group_concat(retry_count) FROM queue"), "2,1,1,7,2147483647");
  EXPECT_TRUE(monitor_.contains(12054));

  worker([&] {
    ns::Error error;
    auto bundles = database_->queryBundlesWithRowIDs({1, 4, 2}, &error);
    ASSERT_TRUE(bundles && bundles->size() == 3) << error.description();
    std::map<int64_t, int32_t> retries;
    for (const auto& [b, rowID] : *bundles) retries[rowID] = MSRPBMessageGetInt32(b.get(), kBundleRetryCount);
    EXPECT_EQ(retries, (std::map<int64_t, int32_t>{{1, 2}, {2, 1}, {4, 7}}));
    ASSERT_TRUE(database_->deleteBundlesWithRowIDs({2, 3}, &error)) << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT group_concat(rowid) FROM queue"), "1,4,5");

  expectRefused({
      {"no ids to count", [](MSRDatabase& d, ns::Error* e) { return d.incrementRetryCounterForBundlesWithIDs({}, e); },
       1, "Failed to increment retry counter"},
      {"no ids to delete", [](MSRDatabase& d, ns::Error* e) { return d.deleteBundlesWithRowIDs({}, e); }, 3,
       "Received empty row IDs to process"},
      {"no ids to read", [](MSRDatabase& d, ns::Error* e) { return d.queryBundlesWithRowIDs({}, e).has_value(); }, 3,
       "Received empty row IDs to process"},
  });
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM queue"), "3");
}

TEST_F(DatabaseQueueTest, SchedulingReads) {
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->isQueuedBundleTableEmpty(&error), std::optional<bool>(true));
    EXPECT_EQ(database_->queryLatestBundleTime(&error), std::nullopt);
    EXPECT_EQ(database_->containsRealtimeBundlesWithError(&error), std::optional<bool>(false));
    EXPECT_TRUE(error.domain().empty()) << error.description();
  });
  insert({bundle(kNow - 5), bundle(kNow - 50)});
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->isQueuedBundleTableEmpty(&error), std::optional<bool>(false));
    EXPECT_EQ(database_->queryLatestBundleTime(&error), std::optional<double>(kNow - 5));
    EXPECT_EQ(database_->containsRealtimeBundlesWithError(&error), std::optional<bool>(false));
  });
  insert({bundle(kNow - 60)}, true);
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->containsRealtimeBundlesWithError(&error), std::optional<bool>(true));
  });
}

TEST_F(DatabaseQueueTest, BundlingQueuesRunsOfTheOldestMetadata) {
  auto metadata = [](const char* instance) {
    auto m = MSRPBMeasurementBundle::initWithMessageInfo(nullptr);
    MSRPBMessageSetString(m.get(), 22, instance);
    return m;
  };
  auto event = [](const char* name, double timestamp) {
    return MSREvent::initWithOrigin("app", true, name, timestamp, 0, {});
  };
  worker([&] {
    ns::Error error;
    auto m1 = metadata("one"), m2 = metadata("two");
    for (const auto& [e, m] : {std::pair{event("e1", kNow - 4), m1}, std::pair{event("e2", kNow - 3), m1},
                               std::pair{event("e3", kNow - 2), m2}, std::pair{event("e4", kNow - 1), m1}}) {
      ASSERT_TRUE(storeEventAsTheCore(*database_, e, m, false, &error)) << error.description();
    }
    // e1 and e2, then e3 (whose metadata then goes), then e4: a run never
    // reaches past a row of other metadata.
    for (size_t expected : {2u, 1u, 1u, 0u}) {
      EXPECT_EQ(bundleOldestEventsAsTheCore(*database_, kAppID, &error), std::optional<size_t>(expected))
          << error.description();
    }
    auto bundles = database_->queryBundlesWithCountLimit(100, 65536, &error);
    ASSERT_TRUE(bundles && bundles->size() == 3) << error.description();
    std::vector<std::string> contents;
    for (const auto& [b, rowID] : *bundles) {
      std::string names = std::to_string(MSRPBMessageGetInt32(b.get(), kBundleSequenceIndex)) + ":" +
                          MSRPBMessageGetString(b.get(), 22).value_or("");
      MSRPBArray events = MSRPBMessageGetArray<MSRPBEvent>(b.get(), kBundleEvents).value_or(MSRPBArray{});
      for (const auto& element : events) {
        names += " " + MSRPBMessageGetString(MSRPBArrayElementMessage<MSRPBEvent>(element).get(), 1).value_or("");
      }
      contents.push_back(names);
    }
    EXPECT_EQ(contents, (std::vector<std::string>{"1:one e1 e2", "2:two e3", "3:one e4"}));
  });
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM raw_events"), "0");
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM raw_events_metadata"), "0");
  EXPECT_EQ(sqlite(path_, "SELECT last_bundle_index, last_bundle_start_timestamp, last_bundle_end_timestamp "
                          "FROM app_metadata"),
            "3|1699999999.0|1699999999.0");
  EXPECT_EQ(sqlite(path_, "SELECT lifetime_count, current_bundle_count FROM events WHERE name = 'e1'"), "0|1");
}

}  // namespace
}  // namespace msr_testing
