// Sessions and engagement on the virtual clock: the engine's own session
// reporter, driven by the application's lifecycle through the shared
// screen-view reporter, its events read back from the measurement
// database.
#include <gtest/gtest.h>

#include "Libraries/Measurement/Reporters/tests/LifecycleTestSupport.h"

namespace msr_testing {
namespace {

class MSRSessionReporterTest : public LifecycleTest {
 protected:
  void SetUp() override {
    LifecycleTest::SetUp();
    startEngine();
    ASSERT_NE(sessionReporter(), nullptr);
  }
};

TEST_F(MSRSessionReporterTest, FirstActivationStartsASession) {
  activate();
  auto starts = stored("_s");
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].intParam("_sno"), 1);
  EXPECT_EQ(starts[0].intParam("_sid"), static_cast<int64_t>(kNow));
}

}  // namespace
}  // namespace msr_testing
