#include "Platform/Network/Reachability.h"

#include <memory>
#include <mutex>
#include <optional>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/detail/RouteMonitor.h"

namespace net {
namespace {

// What a target shares with the deliveries it has queued, which may run
// after the target is gone.
struct TargetState {
  // Held while the callback runs, so unschedule and release wait for it;
  // recursive, so the callback itself may unschedule or release.
  std::recursive_mutex mutex;
  std::string name;
  ReachabilityRef target = nullptr;  // null once released
  ReachabilityCallback callback = nullptr;
  void* info = nullptr;
  dispatch::RunLoop* runLoop = nullptr;  // while scheduled
  int listener = 0;
  std::optional<ReachabilityFlags> told;
};

// On the run loop: tells the flags unless they were told last, or the
// target has been unscheduled since.
void deliver(const std::shared_ptr<TargetState>& state, ReachabilityFlags flags) {
  std::lock_guard lock(state->mutex);
  if (!state->target || !state->runLoop || !state->callback) return;
  if (state->told == flags) return;
  state->told = flags;
  state->callback(state->target, flags, state->info);
}

// A loopback name, or one the device's host map serves from 127.0.0.1,
// is reached without any route; every other host needs a default route.
ReachabilityFlags flagsForName(const std::string& name) {
  if (routeForHost(name).kind != HostRoute::Kind::Offline) return kReachabilityFlagReachable;
  return detail::currentRouteFlags();
}

void post(const std::shared_ptr<TargetState>& state, dispatch::RunLoop& runLoop) {
  ReachabilityFlags flags = flagsForName(state->name);
  runLoop.perform([state, flags] { deliver(state, flags); });
}

}  // namespace

struct ReachabilityTarget {
  std::string name;
  std::shared_ptr<TargetState> state = std::make_shared<TargetState>();
};

ReachabilityRef reachabilityCreateWithName(const char* name) {
  if (!name || !*name) return nullptr;
  auto* target = new ReachabilityTarget{name};
  target->state->target = target;
  target->state->name = name;
  return target;
}

const std::string& reachabilityName(ReachabilityRef target) { return target->name; }

bool reachabilitySetCallback(ReachabilityRef target, ReachabilityCallback callback,
                             const ReachabilityContext* context) {
  if (!target) return false;
  std::lock_guard lock(target->state->mutex);
  target->state->callback = callback;
  target->state->info = callback && context ? context->info : nullptr;
  return true;
}

bool reachabilityGetFlags(ReachabilityRef target, ReachabilityFlags* flags) {
  if (!target) return false;
  if (flags) *flags = flagsForName(target->name);
  return true;
}

bool reachabilityScheduleWithRunLoop(ReachabilityRef target, dispatch::RunLoop& runLoop) {
  if (!target) return false;
  std::shared_ptr<TargetState> state = target->state;
  std::lock_guard lock(state->mutex);
  if (state->runLoop) return false;
  state->runLoop = &runLoop;
  state->told.reset();
  std::weak_ptr<TargetState> weak = state;
  state->listener = detail::RouteMonitor::shared().addListener([weak, &runLoop] {
    if (auto alive = weak.lock()) post(alive, runLoop);
  });
  post(state, runLoop);
  return true;
}

bool reachabilityUnscheduleFromRunLoop(ReachabilityRef target, dispatch::RunLoop& runLoop) {
  if (!target) return false;
  std::shared_ptr<TargetState> state = target->state;
  std::lock_guard lock(state->mutex);
  if (state->runLoop != &runLoop) return false;
  detail::RouteMonitor::shared().removeListener(state->listener);
  state->runLoop = nullptr;
  state->listener = 0;
  return true;
}

void reachabilityRelease(ReachabilityRef target) {
  if (!target) return;
  {
    std::lock_guard lock(target->state->mutex);
    if (target->state->runLoop) reachabilityUnscheduleFromRunLoop(target, *target->state->runLoop);
    target->state->target = nullptr;
  }
  delete target;
}

}  // namespace net
