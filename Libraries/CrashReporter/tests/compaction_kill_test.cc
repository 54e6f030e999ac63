// A process killed with SIGKILL at any moment of a key compaction never loses
// a key that was already compacted: children compact over and over and are
// killed at random moments; after each, the keys are read back.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "Libraries/CrashReporter/DVCRUserLoggingKeys.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"
#include "Libraries/EventTransport/tests/ChildProcess.h"

namespace dvcr_testing {
namespace {

class CompactionKillTest : public CrashContextTest {};

TEST_F(CompactionKillTest, AChildKilledDuringCompactionNeverLosesACompactedKey) {
  ns::Dictionary base;
  for (int i = 0; i < 10; ++i) base.set("base" + std::to_string(i), ns::Value("value " + std::to_string(i)));
  buildContext();
  DVCRUserLoggingSetUserKeys(base);
  DVCRUserLoggingSetUserKey("removed", ns::Value());
  drainLoggingQueue();
  ASSERT_FALSE(readAll(reportFile("user_compacted_kv.dvrecord")).empty());
  takeDownContext();

  std::mt19937 random(52);
  for (int round = 0; round < 40; ++round) {
    pid_t child = ztcor_testing::spawnReadyChild({DVCR_COMPACTION_CHILD, reportPath(), path("previously-crashed")});
    ASSERT_GT(child, 0);
    ASSERT_TRUE(ztcor_testing::killAfter(child, 2000 + random() % 20000));

    buildContext();
    ns::Dictionary keys = DVCRUserLoggingGetCompactedKVEntries(&readonly_->logging.userKVStorage, true);
    for (const auto& [key, value] : base) {
      const ns::Value* found = keys.find(key);
      ASSERT_NE(found, nullptr) << key << " lost in round " << round;
      EXPECT_EQ(*found, value);
    }
    takeDownContext();
  }
}

}  // namespace
}  // namespace dvcr_testing
