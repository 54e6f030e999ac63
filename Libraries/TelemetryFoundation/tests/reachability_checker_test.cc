#include "Libraries/TelemetryFoundation/ZULReachabilityChecker.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Libraries/TelemetryFoundation/RIDIruduziDiri.h"
#include "Libraries/TelemetryFoundation/ZULNetwork.h"
#include "Libraries/TelemetryFoundation/tests/ZULTestEnvironment.h"

namespace {

using net::ReachabilityFlags;

// A reachability record of the test's making: it counts the calls, keeps
// the callback so the test can call it, and fails where told.
struct FakeReachability {
  int creates = 0, schedules = 0, unschedules = 0, releases = 0;
  bool failCreate = false, failSchedule = false;
  net::ReachabilityCallback callback = nullptr;
  void* info = nullptr;
  char handle = 0;  // its address is the handle

  void tell(ReachabilityFlags flags) { callback(reinterpret_cast<net::ReachabilityRef>(&handle), flags, info); }
};
FakeReachability* fake = nullptr;

const ZULReachabilityApi kFakeApi = {
    [](const char*) -> net::ReachabilityRef {
      ++fake->creates;
      return fake->failCreate ? nullptr : reinterpret_cast<net::ReachabilityRef>(&fake->handle);
    },
    [](net::ReachabilityRef, net::ReachabilityCallback callback, const net::ReachabilityContext* context) {
      fake->callback = callback;
      fake->info = context->info;
      return true;
    },
    [](net::ReachabilityRef, dispatch::RunLoop&) {
      ++fake->schedules;
      return !fake->failSchedule;
    },
    [](net::ReachabilityRef, dispatch::RunLoop&) {
      ++fake->unschedules;
      return true;
    },
    [](net::ReachabilityRef) { ++fake->releases; },
};

class RecordingReachabilityDelegate : public ZULReachabilityDelegate {
 public:
  void reachabilityStatusChanged(ZULReachabilityChecker&, ZULReachabilityStatus status) override {
    statuses.push_back(status);
  }
  std::vector<ZULReachabilityStatus> statuses;
};

class ReachabilityCheckerTest : public zul_testing::ZULEnvironmentTest {
 protected:
  void SetUp() override {
    useDevice({});
    ZULLoggerSetLevel(ZULLoggerLevelDebug);
    fake = &fake_;
  }
  void TearDown() override {
    fake = nullptr;
    ZULEnvironmentTest::TearDown();
  }
  std::unique_ptr<ZULReachabilityChecker> makeChecker() {
    auto checker = ZULReachabilityChecker::initWithReachabilityDelegate(delegate_, "telemetry.example.com");
    checker->setReachabilityApi(&kFakeApi);
    return checker;
  }
  static size_t countLines(const std::string& text) {
    size_t n = 0;
    for (const auto& message : loggerMessages()) n += message.find(text) != std::string::npos;
    return n;
  }

  FakeReachability fake_;
  std::shared_ptr<RecordingReachabilityDelegate> delegate_ = std::make_shared<RecordingReachabilityDelegate>();
};

TEST_F(ReachabilityCheckerTest, AnEmptyHostGivesNoCheckerAndOneErrorLine) {
  EXPECT_EQ(ZULReachabilityChecker::initWithReachabilityDelegate(delegate_, ""), nullptr);
  auto lines = loggerLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["Level"], "3");
  EXPECT_EQ(lines[0]["Message"], " - [ZULReachability][I-REA902001] Invalid host specified");
}

TEST_F(ReachabilityCheckerTest, FlagsGiveAStatus) {
  using namespace net;
  struct Case {
    ReachabilityFlags flags;
    ZULReachabilityStatus expected;
  };
  const ReachabilityFlags R = kReachabilityFlagReachable, C = kReachabilityFlagConnectionRequired,
                          T = kReachabilityFlagConnectionOnTraffic, D = kReachabilityFlagConnectionOnDemand,
                          I = kReachabilityFlagInterventionRequired, W = kReachabilityFlagIsWWAN;
  const std::vector<Case> cases = {
      {0, kZULReachabilityNotReachable},
      {W, kZULReachabilityNotReachable},
      {R, kZULReachabilityViaWifi},
      {R | W, kZULReachabilityViaCellular},
      {R | C, kZULReachabilityNotReachable},
      {R | C | W, kZULReachabilityNotReachable},
      {R | C | T, kZULReachabilityViaWifi},
      {R | C | D | W, kZULReachabilityViaCellular},
      {R | C | T | I, kZULReachabilityNotReachable},
      {R | I, kZULReachabilityViaWifi},  // no connection required: intervention does not matter
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZULReachabilityChecker::statusForFlags(c.flags), c.expected) << std::hex << c.flags;
  }
}

TEST_F(ReachabilityCheckerTest, StartingTwiceKeepsOneHandleAndOnlyChangesAreTold) {
  auto checker = makeChecker();
  EXPECT_FALSE(checker->isActive());
  ASSERT_TRUE(checker->start());
  ASSERT_TRUE(checker->start());
  EXPECT_TRUE(checker->isActive());
  EXPECT_EQ(fake_.creates, 1);
  EXPECT_EQ(fake_.schedules, 1);
  EXPECT_EQ(countLines("[I-REA902003] Monitoring the network status"), 2u);

  fake_.tell(net::kReachabilityFlagReachable);
  fake_.tell(net::kReachabilityFlagReachable | net::kReachabilityFlagTransientConnection);  // still Wi-Fi
  fake_.tell(net::kReachabilityFlagReachable | net::kReachabilityFlagIsWWAN);
  fake_.tell(0);
  EXPECT_EQ(delegate_->statuses, (std::vector<ZULReachabilityStatus>{kZULReachabilityViaWifi,
                                                                     kZULReachabilityViaCellular,
                                                                     kZULReachabilityNotReachable}));
  EXPECT_EQ(checker->reachabilityStatus(), kZULReachabilityNotReachable);
  EXPECT_EQ(countLines("[I-REA902004] Network status has changed. Code:3, status:Connected"), 1u);
  EXPECT_EQ(countLines("[I-REA902004] Network status has changed. Code:1, status:Disconnected"), 1u);

  checker->stop();
  EXPECT_EQ(checker->reachabilityStatus(), kZULReachabilityUnknown);
  EXPECT_FALSE(checker->isActive());
  EXPECT_EQ(fake_.unschedules, 1);
  EXPECT_EQ(fake_.releases, 1);
  checker->stop();
  EXPECT_EQ(fake_.releases, 1);

  // A new start begins from status 0: the first status is told again.
  ASSERT_TRUE(checker->start());
  fake_.tell(0);
  EXPECT_EQ(delegate_->statuses.size(), 4u);
  checker.reset();
  EXPECT_EQ(fake_.releases, 2) << "released with the checker";
}

TEST_F(ReachabilityCheckerTest, TheRecordCannotBeSwappedWhileRunning) {
  auto checker = makeChecker();
  ASSERT_TRUE(checker->start());
  checker->setReachabilityApi(ZULDefaultReachabilityApi());
  EXPECT_EQ(checker->reachabilityApi(), &kFakeApi);
  EXPECT_EQ(countLines("[ZULReachability][I-REA902000] Cannot change reachability API while reachability is "
                       "running. Call stop first."),
            1u);
  checker->stop();
  checker->setReachabilityApi(ZULDefaultReachabilityApi());
  EXPECT_EQ(checker->reachabilityApi(), ZULDefaultReachabilityApi());
}

TEST_F(ReachabilityCheckerTest, AHandleThatCannotBeMadeOrScheduledFailsTheStart) {
  auto checker = makeChecker();
  fake_.failCreate = true;
  EXPECT_FALSE(checker->start());
  EXPECT_EQ(countLines("I-REA902002"), 0u) << "no handle, no line";

  fake_.failCreate = false;
  fake_.failSchedule = true;
  EXPECT_FALSE(checker->start());
  EXPECT_FALSE(checker->isActive());
  EXPECT_EQ(fake_.releases, 1);
  EXPECT_EQ(countLines("[I-REA902002] Failed to start reachability handle"), 1u);
}

class RecordingNetworkReachabilityDelegate : public ZULNetworkReachabilityDelegate {
 public:
  void reachabilityDidChange() override { ++changes; }
  int changes = 0;
};

TEST_F(ReachabilityCheckerTest, TheNetworkClientIsConnectedOverWifiOrCellular) {
  auto network = ZULNetwork::initWithReachabilityHost("telemetry.example.com");
  ASSERT_NE(network, nullptr);
  EXPECT_EQ(ZULNetwork::initWithReachabilityHost(""), nullptr);
  auto listener = std::make_shared<RecordingNetworkReachabilityDelegate>();
  network->setReachabilityDelegate(listener);

  network->reachability().stop();
  network->reachability().setReachabilityApi(&kFakeApi);
  ASSERT_TRUE(network->reachability().start());
  struct Step {
    ReachabilityFlags flags;
    bool connected;
  };
  const std::vector<Step> steps = {
      {net::kReachabilityFlagReachable, true},
      {0, false},
      {net::kReachabilityFlagReachable | net::kReachabilityFlagIsWWAN, true},
  };
  for (const auto& step : steps) {
    fake_.tell(step.flags);
    EXPECT_EQ(network->isNetworkConnected(), step.connected) << step.flags;
  }
  EXPECT_EQ(listener->changes, 3);
  network.reset();
  EXPECT_EQ(fake_.releases, 1) << "the client stops watching when it goes";
}

TEST(NetworkInfoTest, CodesJoinOnlyWhenBothAreWellFormed) {
  struct Case {
    std::optional<std::string> mcc, mnc, expected;
  };
  const std::vector<Case> cases = {
      {"310", "26", "31026"},   {"310", "260", "310260"}, {"31", "260", std::nullopt},
      {"3a0", "26", std::nullopt}, {"310", "2", std::nullopt}, {"310", "2600", std::nullopt},
      {"310", "2x", std::nullopt}, {std::nullopt, std::nullopt, std::nullopt}, {"310", std::nullopt, std::nullopt},
      {std::nullopt, "26", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RIDIruduziDiri::formatMcc(c.mcc, c.mnc), c.expected)
        << c.mcc.value_or("nil") << " " << c.mnc.value_or("nil");
  }
}

std::string readProc(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(NetworkInfoTest, NoCellularSideAndTheTypeFollowsTheDefaultRoute) {
  EXPECT_EQ(RIDIruduziDiri::getNetworkMobileCountryCode(), std::nullopt);
  EXPECT_EQ(RIDIruduziDiri::getNetworkMobileNetworkCode(), std::nullopt);
  EXPECT_EQ(RIDIruduziDiri::getNetworkRadioType(), std::nullopt);
  EXPECT_EQ(&RIDIruduziDiri::getNetworkInfo(), &RIDIruduziDiri::getNetworkInfo());
  const bool routed =
      net::routeTablesHaveDefaultRoute(readProc("/proc/net/route"), readProc("/proc/net/ipv6_route"));
  EXPECT_EQ(RIDIruduziDiri::getNetworkType(), routed ? 1 : -1);
}

}  // namespace
