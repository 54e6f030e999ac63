#include "Libraries/EventTransport/ZTCORReachability.h"

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Platform/Dispatch/RunLoop.h"

ZTCORReachability& ZTCORReachability::sharedInstance() {
  static ZTCORReachability* instance = new ZTCORReachability();  // lives as long as the process
  return *instance;
}

ZTCORReachability::ZTCORReachability() : reachabilityQueue_(dispatch::Queue::serial("com.zorori.ZTCORReachability")) {
  reachabilityRef_ = net::reachabilityCreateWithName("0.0.0.0");
  if (!net::reachabilityScheduleWithRunLoop(reachabilityRef_, dispatch::RunLoop::main())) {
    ZTCORConsoleLog(4, ZTCORLogLevelWarning, "The reachability queue wasn't set.");
  }
  if (!net::reachabilitySetCallback(reachabilityRef_, reachabilityChanged, nullptr)) {
    ZTCORConsoleLog(4, ZTCORLogLevelWarning, "The reachability callback wasn't set.");
  }
  reachabilityQueue_->async([this] {
    net::ReachabilityFlags read = 0;
    if (!net::reachabilityGetFlags(reachabilityRef_, &read)) {
      ZTCORLogDebug("Determining reachability failed.");
      read = 0;
    }
    flags_ = read;
  });
}

void ZTCORReachability::reachabilityChanged(net::ReachabilityRef, net::ReachabilityFlags flags, void*) {
  auto& reachability = sharedInstance();
  reachability.reachabilityQueue_->async([&reachability, flags] {
    ZTCORLogDebug("Reachability changed, new flags: %d", flags);
    reachability.callbackFlags_ = flags;
  });
}

uint32_t ZTCORReachability::currentFlags() {
  auto& reachability = sharedInstance();
  uint32_t result = 0;
  reachability.reachabilityQueue_->sync([&] {
    result = reachability.callbackFlags_ ? reachability.callbackFlags_ : reachability.flags_;
    ZTCORLogDebug("Initial reachability flags determined: %d", result);
  });
  return result;
}

uint32_t ZTCORReachability::flags() const {
  uint32_t result = 0;
  reachabilityQueue_->sync([&] { result = flags_; });
  return result;
}

void ZTCORReachability::setFlags(uint32_t flags) {
  reachabilityQueue_->sync([&] { flags_ = flags; });
}

uint32_t ZTCORReachability::callbackFlags() const {
  uint32_t result = 0;
  reachabilityQueue_->sync([&] { result = callbackFlags_; });
  return result;
}

void ZTCORReachability::setCallbackFlags(uint32_t flags) {
  reachabilityQueue_->sync([&] {
    if (callbackFlags_ != flags) callbackFlags_ = flags;
  });
}
