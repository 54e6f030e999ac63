// The per-name counters: never negative, starting again at 0 past the
// largest 32-bit count.
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "Libraries/Measurement/Core/MSREventAggregates.h"
#include "Libraries/Measurement/Storage/tests/StorageTestSupport.h"

namespace msr_testing {
namespace {

TEST(EventAggregatesTest, ANegativeCountOrAnEmptyNameMakesNoAggregates) {
  MonitorRecorder monitor;
  EXPECT_EQ(MSREventAggregates::initWithName("", 0, 0, 0, 0), nullptr);
  EXPECT_EQ(MSREventAggregates::initWithName("_e", -1, 0, 0, 0), nullptr);
  EXPECT_EQ(MSREventAggregates::initWithName("_e", 0, -1, 0, 0), nullptr);
  EXPECT_EQ(MSREventAggregates::initWithName("_e", 0, 0, -1, 0), nullptr);
  EXPECT_EQ(monitor.codes(), (std::vector<int64_t>{13001, 17000, 17000, 17000})) << "the name rule's message first";

  auto fresh = MSREventAggregates::initWithName("_e", 1, 2, 3, 1700000000.5);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->lastSamplingRate(), 1);
  EXPECT_EQ(fresh->lastBundledDay(), 0);
  EXPECT_EQ(fresh->lastBundledTimestamp(), 0.0);
  EXPECT_FALSE(fresh->lastExemptFromSampling());
  EXPECT_EQ(fresh->lastSampledComplexEventID(), std::nullopt);
}

TEST(EventAggregatesTest, ACountStartsAgainAtZeroPastTheLargest) {
  struct Case {
    const char* name;
    std::function<void(MSREventAggregates&)> increment;
    std::function<int32_t(const MSREventAggregates&)> count;
    int64_t code;
  } cases[] = {
      {"lifetime", &MSREventAggregates::incrementLifetimeCount, &MSREventAggregates::lifetimeCount, 17001},
      {"bundle", &MSREventAggregates::incrementCurrentBundleCount, &MSREventAggregates::currentBundleCount, 17002},
      {"session", &MSREventAggregates::incrementCurrentSessionCount, &MSREventAggregates::currentSessionCount, 17003},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorRecorder monitor;
    auto aggregates = MSREventAggregates::initWithName("_e", INT_MAX - 1, INT_MAX - 1, INT_MAX - 1, 0);
    c.increment(*aggregates);
    EXPECT_EQ(c.count(*aggregates), INT_MAX);
    c.increment(*aggregates);
    EXPECT_EQ(c.count(*aggregates), 0);
    c.increment(*aggregates);
    EXPECT_EQ(c.count(*aggregates), 1);
    EXPECT_EQ(monitor.codes(), (std::vector<int64_t>{c.code}));
    int unchanged = (aggregates->lifetimeCount() == INT_MAX - 1) + (aggregates->currentBundleCount() == INT_MAX - 1) +
                    (aggregates->currentSessionCount() == INT_MAX - 1);
    EXPECT_EQ(unchanged, 2) << "the other counts stay";
  }
}

}  // namespace
}  // namespace msr_testing
