// The one random source: an unbiased draw below a bound, replayable by
// tests.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "Libraries/Measurement/Core/MSRRandom.h"
#include "Libraries/Measurement/Core/testing/MSRRandomTesting.h"

namespace {

class RandomTest : public ::testing::Test {
 protected:
  void TearDown() override { MSRRandomSetSourceForTesting({}); }
  // The source hands out `values` in turn; *draws counts the draws.
  void replay(std::vector<uint64_t> values) {
    MSRRandomSetSourceForTesting([this, values](uint8_t* bytes, size_t count) {
      ASSERT_EQ(count, sizeof(uint64_t));
      ASSERT_LT(draws_, values.size()) << "drew more than expected";
      std::memcpy(bytes, &values[draws_++], count);
    });
  }
  size_t draws_ = 0;
};

TEST_F(RandomTest, DrawsThatWouldFavourLowNumbersAreDrawnAgain) {
  struct Case {
    const char* what;
    uint64_t bound;
    std::vector<uint64_t> values;  // what the source hands out
    uint64_t result;
  } cases[] = {
      // 2^64 mod 86,400,000 = 51,951,616: the values below it are refused.
      {"a day of milliseconds", 86400000, {0, 51951615, 51951616}, 51951616},
      {"a day, the last millisecond", 86400000, {86400000ull * 1000 + 86399999}, 86399999},
      // 2^64 mod (2^63 + 1) = 2^63 - 1: almost half of all values.
      {"just above half", (1ull << 63) + 1, {5, (1ull << 63) + 7}, 6},
      {"a power of two refuses nothing", 1ull << 32, {(1ull << 40) + 3}, 3},
      {"below 1", 1, {}, 0},
      {"below 0", 0, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    draws_ = 0;
    replay(c.values);
    EXPECT_EQ(MSRRandom::uniformBelow(c.bound), c.result);
    EXPECT_EQ(draws_, c.values.size());
  }
}

TEST_F(RandomTest, TheSystemSourceStaysBelowTheBound) {
  std::set<uint64_t> seen;
  for (int i = 0; i < 1000; ++i) {
    uint64_t value = MSRRandom::uniformBelow(10);
    ASSERT_LT(value, 10u);
    seen.insert(value);
  }
  EXPECT_GT(seen.size(), 1u) << "not a constant";
}

}  // namespace
