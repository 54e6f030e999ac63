// The network's reachability as the upload coordinator reads it: one
// process-wide watcher of the zero IPv4 address (any route at all).
//
// The platform's change callbacks arrive on the main run loop and are
// stored on the serial queue "com.zorori.ZTCORReachability", where every
// read and write of the flags runs. `currentFlags` answers the last flags a
// change callback delivered, or, while none has (or the last was 0), the
// flags read once at start. Flags that cannot be read count as 0 (not
// reachable). Nothing here is cellular: the host has no such interface.
#pragma once

#include <cstdint>
#include <memory>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Network/Reachability.h"

class ZTCORReachability {
 public:
  static ZTCORReachability& sharedInstance();
  // Synchronously on the reachability queue.
  static uint32_t currentFlags();

  uint32_t flags() const;
  void setFlags(uint32_t flags);
  uint32_t callbackFlags() const;
  // Stores only a changed value.
  void setCallbackFlags(uint32_t flags);

  const std::shared_ptr<dispatch::Queue>& reachabilityQueue() const { return reachabilityQueue_; }

  ZTCORReachability(const ZTCORReachability&) = delete;
  ZTCORReachability& operator=(const ZTCORReachability&) = delete;

 private:
  ZTCORReachability();
  static void reachabilityChanged(net::ReachabilityRef target, net::ReachabilityFlags flags, void* info);
  friend struct ZTCORReachabilityTesting;

  net::ReachabilityRef reachabilityRef_ = nullptr;
  std::shared_ptr<dispatch::Queue> reachabilityQueue_;
  // Written only on reachabilityQueue_.
  uint32_t callbackFlags_ = 0;
  uint32_t flags_ = 0;
};
