// The sampling draw: uniform over [0, 1] with both ends, compared with the
// rate.
#include <gtest/gtest.h>

#include "Libraries/EventTransport/Sessions/SessionsSampling.h"

namespace {

TEST(SessionsSamplingTest, TheDrawCoversZeroToOneAndCollectsUpToTheRate) {
  constexpr uint64_t kTop = uint64_t{1} << 53;
  EXPECT_EQ(SessionsSamplingDraw(0), 0.0);
  EXPECT_EQ(SessionsSamplingDraw(kTop), 1.0);
  EXPECT_EQ(SessionsSamplingDraw(kTop / 2), 0.5);
  EXPECT_EQ(SessionsSamplingDraw(kTop - 1), 1.0 - 1.0 / static_cast<double>(kTop));
  struct Case {
    uint64_t r;
    double rate;
    bool collects;
  } cases[] = {
      {0, 0.0, true},        {1, 0.0, false},       {kTop, 1.0, true},
      {kTop - 1, 1.0, true}, {kTop / 2, 0.5, true}, {kTop / 2 + 1, 0.5, false},
      {kTop, 0.999, false},
  };
  for (const Case& c : cases) {
    SessionsSetRandomSourceForTesting([r = c.r] { return r; });
    EXPECT_EQ(SessionsShouldCollectEvents(c.rate), c.collects) << c.r << " against " << c.rate;
  }
  SessionsSetRandomSourceForTesting(nullptr);
  for (int i = 0; i < 100; ++i) EXPECT_TRUE(SessionsShouldCollectEvents(1.0));
}

}  // namespace
