// For tests: drives the shared reachability as the platform would, without
// a network change.
#pragma once

#include <cstdint>

#include "Libraries/EventTransport/ZTCORReachability.h"

struct ZTCORReachabilityTesting {
  // The flags as if read at start (after that first read has run).
  static void setStartFlags(uint32_t flags) {
    auto& reachability = ZTCORReachability::sharedInstance();
    reachability.reachabilityQueue_->sync([&] { reachability.flags_ = flags; });
  }
  // Fires the change callback with `flags` and waits until it is stored.
  static void fireChange(uint32_t flags) {
    auto& reachability = ZTCORReachability::sharedInstance();
    ZTCORReachability::reachabilityChanged(reachability.reachabilityRef_, flags, nullptr);
    reachability.reachabilityQueue_->sync([] {});
  }
  // Back to a process that has seen no change callback.
  static void reset(uint32_t startFlags) {
    auto& reachability = ZTCORReachability::sharedInstance();
    reachability.reachabilityQueue_->sync([&] {
      reachability.flags_ = startFlags;
      reachability.callbackFlags_ = 0;
    });
  }
};
