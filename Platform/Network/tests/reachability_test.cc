#include "Platform/Network/Reachability.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/detail/RouteMonitor.h"

namespace net {
namespace {

constexpr const char* kIPv4Header =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

TEST(ReachabilityTest, ADefaultRouteInEitherTableMakesHostsReachable) {
  struct Case {
    const char* what;
    std::string ipv4;
    std::string ipv6;
    bool expected;
  };
  const std::string v6Default =
      "00000000000000000000000000000000 00 00000000000000000000000000000000 00 fe800000000000000000000000000001 "
      "00000400 00000001 00000000 00000003     eth0\n";
  const std::vector<Case> cases = {
      {"no tables", "", "", false},
      {"header only", kIPv4Header, "", false},
      {"IPv4 default route",
       std::string(kIPv4Header) + "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n", "", true},
      {"IPv4 subnet only",
       std::string(kIPv4Header) + "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n", "", false},
      {"IPv4 default route down",
       std::string(kIPv4Header) + "eth0\t00000000\t0101A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n", "", false},
      {"IPv4 default over loopback",
       std::string(kIPv4Header) + "lo\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n", "", false},
      {"IPv6 default route", kIPv4Header, v6Default, true},
      {"IPv6 reject route",
       kIPv4Header,
       "00000000000000000000000000000000 00 00000000000000000000000000000000 00 00000000000000000000000000000000 "
       "ffffffff 00000001 00000000 00200200       lo\n",
       false},
      {"IPv6 link-local only",
       kIPv4Header,
       "fe800000000000000000000000000000 40 00000000000000000000000000000000 00 00000000000000000000000000000000 "
       "00000100 00000001 00000000 00000001     eth0\n",
       false},
      {"garbage", "x\ny z\n", "not a route\n", false},
  };
  for (const auto& c : cases) EXPECT_EQ(routeTablesHaveDefaultRoute(c.ipv4, c.ipv6), c.expected) << c.what;
}

struct Heard {
  std::vector<ReachabilityFlags> flags;
  ReachabilityRef target = nullptr;
};

void record(ReachabilityRef target, ReachabilityFlags flags, void* info) {
  auto* heard = static_cast<Heard*>(info);
  heard->target = target;
  heard->flags.push_back(flags);
}

TEST(ReachabilityTest, AScheduledTargetHearsItsFlagsOnTheMainRunLoopUntilUnscheduled) {
  EXPECT_EQ(reachabilityCreateWithName(""), nullptr);
  EXPECT_EQ(reachabilityCreateWithName(nullptr), nullptr);

  ReachabilityRef target = reachabilityCreateWithName("telemetry.example.com");
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(reachabilityName(target), "telemetry.example.com");
  ReachabilityFlags now = 0xFFFF;
  ASSERT_TRUE(reachabilityGetFlags(target, &now));
  EXPECT_EQ(now & ~kReachabilityFlagReachable, 0u) << "reachable or not, never cellular";

  Heard heard;
  ReachabilityContext context{&heard};
  ASSERT_TRUE(reachabilitySetCallback(target, record, &context));
  auto& loop = dispatch::RunLoop::main();
  ASSERT_TRUE(reachabilityScheduleWithRunLoop(target, loop));
  EXPECT_FALSE(reachabilityScheduleWithRunLoop(target, loop));
  EXPECT_TRUE(heard.flags.empty()) << "told later, on the run loop";
  ASSERT_TRUE(loop.runUntil([&] { return !heard.flags.empty(); }, 5));
  EXPECT_EQ(heard.target, target);
  EXPECT_EQ(heard.flags.front(), now);

  // Unscheduled before a queued delivery runs: it is dropped.
  ASSERT_TRUE(reachabilityUnscheduleFromRunLoop(target, loop));
  ASSERT_TRUE(reachabilityScheduleWithRunLoop(target, loop));
  ASSERT_TRUE(reachabilityUnscheduleFromRunLoop(target, loop));
  EXPECT_FALSE(reachabilityUnscheduleFromRunLoop(target, loop));
  loop.drain();
  EXPECT_EQ(heard.flags.size(), 1u);

  reachabilityRelease(target);
  reachabilityRelease(nullptr);
}

TEST(ReachabilityTest, LoopbackAndMappedHostsAreReachableWhateverTheRoutes) {
  ns::testing::TemporaryDevice device;
  ASSERT_TRUE(mapHostToLoopback("upload.measurement.invalid", 4443));
  for (const char* name : {"upload.measurement.invalid", "UPLOAD.measurement.invalid", "127.0.0.1", "localhost"}) {
    ReachabilityRef target = reachabilityCreateWithName(name);
    ReachabilityFlags flags = 0;
    ASSERT_TRUE(reachabilityGetFlags(target, &flags));
    EXPECT_EQ(flags, kReachabilityFlagReachable) << name;
    reachabilityRelease(target);
  }
  // Any other host follows the machine's routes.
  ReachabilityRef other = reachabilityCreateWithName("config.measurement.invalid");
  ReachabilityFlags flags = 0xFFFF;
  ASSERT_TRUE(reachabilityGetFlags(other, &flags));
  EXPECT_EQ(flags, detail::currentRouteFlags());
  reachabilityRelease(other);
}

}  // namespace
}  // namespace net
