// Reachability of a host by name (the platform's reachability functions),
// as the host can tell it.
//
// A target is a name only: nothing is looked up and nothing is sent. Its
// flags come from the kernel's routes: with a default route (IPv4 or IPv6,
// up, not a reject route, not over loopback) every target is reachable,
// never over a cellular interface (there is none); without one nothing is.
// A scheduled target hears its flags once soon after scheduling and again
// whenever they change, on the run loop it was scheduled on (here: the main
// run loop). Changes are read from a netlink route socket; when that cannot
// be opened, the flags are told once and read anew by reachabilityGetFlags.
//
// Targets are handles to release with reachabilityRelease. Any thread may
// call these functions; once unschedule or release has returned, the
// callback is not called again (a callback running on the run loop's thread
// at that moment is waited for, unless that is the calling thread).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dispatch {
class RunLoop;
}

namespace net {

// The platform's flag bits.
using ReachabilityFlags = uint32_t;
inline constexpr ReachabilityFlags kReachabilityFlagTransientConnection = 1u << 0;
inline constexpr ReachabilityFlags kReachabilityFlagReachable = 1u << 1;
inline constexpr ReachabilityFlags kReachabilityFlagConnectionRequired = 1u << 2;
inline constexpr ReachabilityFlags kReachabilityFlagConnectionOnTraffic = 1u << 3;
inline constexpr ReachabilityFlags kReachabilityFlagInterventionRequired = 1u << 4;
inline constexpr ReachabilityFlags kReachabilityFlagConnectionOnDemand = 1u << 5;
inline constexpr ReachabilityFlags kReachabilityFlagIsLocalAddress = 1u << 16;
inline constexpr ReachabilityFlags kReachabilityFlagIsDirect = 1u << 17;
inline constexpr ReachabilityFlags kReachabilityFlagIsWWAN = 1u << 18;

struct ReachabilityTarget;
using ReachabilityRef = ReachabilityTarget*;
using ReachabilityCallback = void (*)(ReachabilityRef target, ReachabilityFlags flags, void* info);
struct ReachabilityContext {
  void* info = nullptr;  // handed to the callback as it is
};

// Null for a null or empty name.
ReachabilityRef reachabilityCreateWithName(const char* name);
// The name the target was made with.
const std::string& reachabilityName(ReachabilityRef target);
// A null callback removes it. False for a null target.
bool reachabilitySetCallback(ReachabilityRef target, ReachabilityCallback callback, const ReachabilityContext* context);
// False for a null target.
bool reachabilityGetFlags(ReachabilityRef target, ReachabilityFlags* flags);
// False for a null target or one scheduled already.
bool reachabilityScheduleWithRunLoop(ReachabilityRef target, dispatch::RunLoop& runLoop);
// False for a null target or one not scheduled.
bool reachabilityUnscheduleFromRunLoop(ReachabilityRef target, dispatch::RunLoop& runLoop);
// Unschedules and frees the target; null does nothing.
void reachabilityRelease(ReachabilityRef target);

// Whether the kernel's route tables, as /proc/net/route and
// /proc/net/ipv6_route list them, hold a usable default route.
bool routeTablesHaveDefaultRoute(std::string_view ipv4Routes, std::string_view ipv6Routes);

}  // namespace net
