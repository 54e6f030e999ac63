// The kernel's routes for the reachability functions: the current flags,
// and one thread reading a netlink route socket that calls back whenever
// the routes or links may have changed. Started on first use; stopped in
// the dispatch layer's exit sequence.
#pragma once

#include <functional>

#include "Platform/Network/Reachability.h"

namespace net::detail {

// Flags from the route tables now.
ReachabilityFlags currentRouteFlags();

class RouteMonitor {
 public:
  static RouteMonitor& shared();

  // Called on the monitor's thread after each batch of route or link
  // messages. Returns an id for removeListener; nothing is called when the
  // socket could not be opened.
  int addListener(std::function<void()> listener);
  void removeListener(int id);

  struct State;  // internal

 private:
  RouteMonitor();
  State* state_;
};

}  // namespace net::detail
