// The remote configuration as the experiments' one real client: its
// defaults registered, a fetched snapshot announced to it, and its flag
// read from the snapshot once it activated it.
#include <gtest/gtest.h>

#include "Libraries/Measurement/Reporters/tests/ExperimentTestSupport.h"
#include "Libraries/Measurement/Storage/tests/RemoteConfigTestSupport.h"
#include "Platform/Dispatch/RunLoop.h"

namespace msr_testing {
namespace {

using net::testing::Answer;

class MSREManagerRemoteConfigTest : public RemoteConfigTest {
 protected:
  void TearDown() override {
    if (manager_) {
      manager_->dispatchSyncOnSerialQueue([] {});
      manager_->taskManager()->workerQueue()->sync([] {});
    }
    RemoteConfigTest::TearDown();
  }
  ExperimentServer service_;
  std::shared_ptr<MSREManager> manager_;
};

TEST_F(MSREManagerRemoteConfigTest, AFetchedSnapshotIsAnnouncedAndReadOnceActivated) {
  service_.server.route("/sdk-exp", Answer{.body = responseBytes(R"(snapshots { sdk_name: "app_measurement"
      experiments { experiment_id: 12 flags { name: "efficient_engagement_reporting_enabled" int_value: 1 } } })")});
  manager_ = MSREManager::initWithTaskManager(makeExperimentTaskManager());
  makeRemoteConfig(manager_);
  // The configuration fetches only for a running measurement; a second
  // client without delegate lets the fetch happen.
  manager_->registerSDKProperty(std::make_shared<MSRESDKProperty>("other_sdk"), ns::Dictionary{{"x", 1}});
  manager_->dispatchSyncOnSerialQueue([] {});
  auto client = manager_->clientForSDKName("app_measurement");
  ASSERT_NE(client, nullptr);
  std::vector<std::string> defaults;
  for (const auto& [name, value] : client->defaultFlags()) defaults.push_back(name + "=" + value.description());
  EXPECT_EQ(defaults, (std::vector<std::string>{"efficient_engagement_reporting_enabled=0",
                                                "redundant_engagement_removal_enabled=0",
                                                "network_background_session_enabled=0",
                                                "persistent_config_in_application_support_enabled=0"}));

  auto& taskManager = *manager_->taskManager();
  taskManager.startTaskManager();
  taskManager.workerQueue()->sync([] {});
  ns::Clock::advance(10);
  taskManager.workerQueue()->sync([] {});
  ASSERT_TRUE(waitForRequests(service_.server, 1));
  ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return remoteConfig_->hasNewSnapshot(); }, 60));
  EXPECT_EQ(sqlite(MSRApplicationSupportFilePath(kExperimentDatabase),
                   "SELECT sdk_name, manually_activated FROM pending_snapshot_table"),
            "app_measurement|1");
  EXPECT_FALSE(remoteConfig_->efficientEngagementReportingEnabled()) << "not in force before activation";
  ASSERT_TRUE(remoteConfig_->activateNewSnapshot());
  EXPECT_TRUE(remoteConfig_->efficientEngagementReportingEnabled());
  EXPECT_EQ(remoteConfig_->experimentIDs(), std::vector<int64_t>{12});
}

}  // namespace
}  // namespace msr_testing
