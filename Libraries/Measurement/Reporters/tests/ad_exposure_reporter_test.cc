// Ad exposure on the virtual clock: the shared ad-exposure reporter timing
// ad units while the engine's session and screen-view reporters follow the
// application, its "_xu" and "_xa" events read back from the measurement
// database.
#include <gtest/gtest.h>

#include "Libraries/Measurement/Reporters/MSRAdExposureReporter.h"
#include "Libraries/Measurement/Reporters/testing/MSRAdExposureReporterTesting.h"
#include "Libraries/Measurement/Reporters/tests/LifecycleTestSupport.h"
#include "Platform/UIKit/NavigationController.h"

namespace msr_testing {
namespace {

class FolderScreen : public ui::ViewController {};
class NoteScreen : public ui::ViewController {};

class MSRAdExposureReporterTest : public LifecycleTest {
 protected:
  void SetUp() override {
    LifecycleTest::SetUp();
    MSRAdExposureReporterResetForTesting();
    startEngine();
  }
  void TearDown() override {
    MSRAdExposureReporterResetForTesting();
    LifecycleTest::TearDown();
  }
  static MSRAdExposureReporter& reporter() { return *MSRAdExposureReporter::sharedInstance(); }
  // Ends an exposure and stores what it logged.
  void end(const std::string& id) {
    reporter().endAdUnitExposure(id);
    flush();
  }
  static std::vector<std::string> adEventNames() {
    std::vector<std::string> names;
    for (const auto& e : stored()) {
      if (e.name == "_xu" || e.name == "_xa") names.push_back(e.name);
    }
    return names;
  }
};

TEST_F(MSRAdExposureReporterTest, OnlyTheLastEndOfAnAdUnitLogsItThenTheOverallExposure) {
  show(std::make_shared<FolderScreen>());
  activate();
  reporter().beginAdUnitExposure("banner");
  advance(1);
  reporter().beginAdUnitExposure("banner");
  advance(2);
  end("banner");
  EXPECT_TRUE(adEventNames().empty());

  advance(0.5);
  end("banner");
  EXPECT_EQ(adEventNames(), (std::vector<std::string>{"_xu", "_xa"}));
  auto unit = stored("_xu").at(0);
  EXPECT_EQ(unit.stringParam("_ai"), "banner");
  EXPECT_EQ(unit.intParam("_xt"), 3500) << "measured from the first begin";
  EXPECT_EQ(unit.stringParam("_sc"), "FolderScreen");
  auto overall = stored("_xa").at(0);
  EXPECT_EQ(overall.intParam("_xt"), 3500);
  EXPECT_FALSE(overall.has("_ai"));
  EXPECT_EQ(overall.stringParam("_sc"), "FolderScreen");

  // Forgotten once ended; empty IDs are refused.
  end("banner");
  EXPECT_EQ(countOf(1004), 1);
  reporter().beginAdUnitExposure("");
  reporter().endAdUnitExposure("");
  EXPECT_EQ(countOf(1000), 1);
  EXPECT_EQ(countOf(1003), 1);
}

TEST_F(MSRAdExposureReporterTest, ASecondIsLoggedAndLessIsNot) {
  activate();
  struct Case {
    double seconds;
    bool logged;
  } cases[] = {{1.0, true}, {0.999, false}, {1.001, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seconds);
    query("DELETE FROM raw_events");
    reporter().beginAdUnitExposure("banner");
    advance(c.seconds);
    end("banner");
    if (!c.logged) {
      EXPECT_TRUE(adEventNames().empty());
      continue;
    }
    ASSERT_EQ(adEventNames(), (std::vector<std::string>{"_xu", "_xa"}));
    int64_t ms = static_cast<int64_t>(c.seconds * 1000 + 0.5);
    EXPECT_EQ(stored("_xu")[0].intParam("_xt"), ms);
    EXPECT_EQ(stored("_xa")[0].intParam("_xt"), ms);
  }
  EXPECT_EQ(countOf(1009), 1);
  EXPECT_EQ(countOf(1006), 1);
}

TEST_F(MSRAdExposureReporterTest, TheEngagementTimerAndAScreenChangeLogWhatWasShownSoFar) {
  auto navigation = std::make_shared<ui::NavigationController>(std::make_shared<FolderScreen>());
  show(navigation);
  activate();
  reporter().beginAdUnitExposure("banner");
  // The session reporter's hourly engagement tick.
  advance(3600);
  auto units = stored("_xu");
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].intParam("_xt"), 3600000);
  EXPECT_EQ(units[0].stringParam("_sc"), "FolderScreen");
  ASSERT_EQ(stored("_xa").size(), 1u);

  // Measured on from the tick; a new screen closes the folder's share.
  advance(2);
  navigation->pushViewController(std::make_shared<NoteScreen>(), false);
  dispatch::RunLoop::main().drain();
  flush();
  units = stored("_xu");
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[1].intParam("_xt"), 2000);
  EXPECT_EQ(units[1].stringParam("_sc"), "FolderScreen");
  EXPECT_EQ(stored("_xa").size(), 2u);

  // Still open: the end logs the note's share.
  advance(5);
  end("banner");
  units = stored("_xu");
  ASSERT_EQ(units.size(), 3u);
  EXPECT_EQ(units[2].intParam("_xt"), 5000);
  EXPECT_EQ(units[2].stringParam("_sc"), "NoteScreen");
  auto overall = stored("_xa");
  ASSERT_EQ(overall.size(), 3u);
  EXPECT_EQ(overall[2].intParam("_xt"), 5000);
}

TEST_F(MSRAdExposureReporterTest, AHundredAdUnitsAreTrackedAndTheNextIsRefused) {
  activate();
  for (int i = 0; i < 100; ++i) reporter().beginAdUnitExposure("unit" + std::to_string(i));
  reporter().beginAdUnitExposure("extra");
  // At the limit a tracked unit is not counted again either.
  reporter().beginAdUnitExposure("unit0");
  advance(2);
  end("extra");
  EXPECT_EQ(countOf(1002), 2);
  EXPECT_EQ(countOf(1004), 1);

  for (int i = 0; i < 100; ++i) reporter().endAdUnitExposure("unit" + std::to_string(i));
  flush();
  auto units = stored("_xu");
  ASSERT_EQ(units.size(), 100u);
  EXPECT_EQ(units[0].stringParam("_ai"), "unit0");
  EXPECT_EQ(units[99].stringParam("_ai"), "unit99");
  ASSERT_EQ(stored("_xa").size(), 1u);
  EXPECT_EQ(stored("_xa")[0].intParam("_xt"), 2000);
  // Room again once they are gone.
  reporter().beginAdUnitExposure("extra");
  advance(1);
  end("extra");
  EXPECT_EQ(countOf(1002), 2);
  EXPECT_EQ(stored("_xu").size(), 101u);
}

}  // namespace
}  // namespace msr_testing
