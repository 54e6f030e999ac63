// The experiments database as sqlite3, protoc and plistutil read it, and
// what a later start of the manager makes of it.
#include <gtest/gtest.h>

#include "Libraries/Measurement/Reporters/tests/ExperimentTestSupport.h"
#include "Libraries/Measurement/Storage/MSRFileLocations.h"

namespace msr_testing {
namespace {

constexpr const char* kSDK = "app_measurement";

class MSREDatabaseTest : public ExperimentTest {
 protected:
  // Runs the block on a background queue, as the worker queue does.
  void onWorker(const std::function<void()>& block) { queue_->sync(block); }
  std::shared_ptr<dispatch::Queue> queue_ = dispatch::Queue::serial("MSRExperimentWorkerQueue");
};

TEST_F(MSREDatabaseTest, ThreeTablesOfSnapshotsThatProtocReads) {
  std::shared_ptr<MSREDatabase> database;
  onWorker([&] { database = MSREDatabase::initWithPath(databaseFile()); });
  ASSERT_NE(database, nullptr);
  std::string schema = sqlite(databaseFile(), ".schema");
  for (const char* table : {kMSREPendingSnapshotTable, kMSREActivatedSnapshotTable, kMSRELaunchedSnapshotTable}) {
    std::string columns = sqlite(databaseFile(), std::string("SELECT group_concat(name || ' ' || type || ' ' || "
                                                             "\"notnull\" || ' ' || pk, ', ') FROM pragma_table_info('") +
                                                     table + "')");
    EXPECT_EQ(columns, "sdk_name TEXT 1 1, snapshotProto BLOB 1 0, timestamp REAL 1 0, manually_activated INTEGER 0 0")
        << table << "\n" << schema;
  }

  auto snapshot = snapshotFromText(R"(sdk_name: "app_measurement"
      experiments { experiment_id: 0 flags { name: "rollout" bool_value: true } }
      experiments { experiment_id: 7 flags { name: "a" int_value: 5 } })");
  snapshot->setTimestamp(kExperimentNow - 60);
  ns::Error error;
  onWorker([&] {
    ASSERT_TRUE(database->upsertPendingExperimentSnapshots({snapshot}, &error)) << error.description();
    // A newer pending row (fetched after the snapshot being activated) stays.
    ASSERT_TRUE(database->activateSnapshot(snapshot, kExperimentNow - 120, &error)) << error.description();
  });
  EXPECT_EQ(sqlite(databaseFile(), "SELECT sdk_name, timestamp, manually_activated FROM pending_snapshot_table"),
            "app_measurement|1699999940.0|0");
  onWorker([&] { ASSERT_TRUE(database->activateSnapshot(snapshot, kExperimentNow, &error)); });
  EXPECT_EQ(sqlite(databaseFile(), "SELECT count(*) FROM pending_snapshot_table"), "0");
  EXPECT_EQ(sqlite(databaseFile(), "SELECT timestamp, quote(manually_activated) FROM activated_snapshot_table"),
            "1700000000.0|NULL");

  std::string activated = sqliteBlob(databaseFile(), "SELECT snapshotProto FROM activated_snapshot_table");
  EXPECT_EQ(protoc("--decode=msrpb.Snapshot ExperimentMessages.proto", activated),
            "sdk_name: \"app_measurement\"\nexperiments {\n  experiment_id: 7\n  flags {\n    name: \"a\"\n    "
            "int_value: 5\n  }\n}\n");
  std::string launched = sqliteBlob(databaseFile(), "SELECT snapshotProto FROM launched_snapshot_table");
  EXPECT_EQ(protoc("--decode=msrpb.Snapshot ExperimentMessages.proto", launched),
            "sdk_name: \"app_measurement\"\nexperiments {\n  experiment_id: 0\n  flags {\n    name: \"rollout\"\n    "
            "bool_value: true\n  }\n}\n");
  onWorker([&] { database.reset(); });
}

// A client without delegate leaves a fetched snapshot pending; the next
// start activates it, and the activated snapshot is fresh then whatever its
// age.
TEST_F(MSREDatabaseTest, ALaterStartActivatesWhatWaitsForNoClient) {
  {
    auto first = makeManager(true);
    first->registerSDKProperty(std::make_shared<MSRESDKProperty>(kSDK), ns::Dictionary{{"a", 1}});
    first->dispatchSyncOnSerialQueue([] {});
    auto snapshot = snapshotFromText(R"(sdk_name: "app_measurement"
        experiments { experiment_id: 7 flags { name: "a" int_value: 5 } })");
    first->taskManager()->workerQueue()->sync([&] {
      ns::Error error;
      ASSERT_TRUE(first->taskManager()->database()->upsertPendingExperimentSnapshots({snapshot}, &error));
    });
    MSRUserDefaults("MSRExperimentSuiteName").setObject(ns::Value(kExperimentNow), kMSRExperimentFetchSuccessTimestamp);
  }
  auto timestamps = plistutilDictionary(MSRPreferencesPlistPath("MSRExperimentSuiteName"));
  ASSERT_TRUE(timestamps.has_value());
  const ns::Value* success = timestamps->find(kMSRExperimentFetchSuccessTimestamp);
  ASSERT_NE(success, nullptr);
  EXPECT_EQ(success->doubleValue(), kExperimentNow);

  ns::Clock::advance(259200 + 3600);
  auto second = makeManager(true);
  auto client = second->registerSDKProperty(std::make_shared<MSRESDKProperty>(kSDK), ns::Dictionary{{"a", 1}});
  second->dispatchSyncOnSerialQueue([] {});
  EXPECT_EQ(client->valueForFlag("a"), ns::Value(5));
  EXPECT_EQ(second->activatedSnapshotStatusOfSDKName(kSDK), MSRESnapshotStatusFresh);
  EXPECT_EQ(second->experimentIDs(), std::vector<int64_t>{7});
  EXPECT_EQ(sqlite(databaseFile(), "SELECT count(*) FROM pending_snapshot_table"), "0");
  EXPECT_EQ(sqlite(databaseFile(), "SELECT sdk_name FROM activated_snapshot_table"), "app_measurement");
}

}  // namespace
}  // namespace msr_testing
