#include "Platform/Network/detail/RouteMonitor.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "Platform/Dispatch/Thread.h"
#include "Platform/Dispatch/detail/Shutdown.h"

namespace net {
namespace {

std::string readFile(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool allZeros(std::string_view hex) { return !hex.empty() && hex.find_first_not_of('0') == std::string_view::npos; }

constexpr unsigned long kRouteUp = 0x0001;
constexpr unsigned long kRouteReject = 0x0200;

}  // namespace

bool routeTablesHaveDefaultRoute(std::string_view ipv4Routes, std::string_view ipv6Routes) {
  // IPv4: "Iface Destination Gateway Flags RefCnt Use Metric Mask ...", a header line first.
  std::istringstream v4{std::string(ipv4Routes)};
  std::string line;
  std::getline(v4, line);
  while (std::getline(v4, line)) {
    std::istringstream fields(line);
    std::string iface, destination, gateway, flags, refs, use, metric, mask;
    if (!(fields >> iface >> destination >> gateway >> flags >> refs >> use >> metric >> mask)) continue;
    unsigned long bits = std::strtoul(flags.c_str(), nullptr, 16);
    if (iface != "lo" && allZeros(destination) && allZeros(mask) && (bits & kRouteUp) && !(bits & kRouteReject)) {
      return true;
    }
  }
  // IPv6: "destination prefix source prefix next-hop metric refs use flags iface", no header.
  std::istringstream v6{std::string(ipv6Routes)};
  while (std::getline(v6, line)) {
    std::istringstream fields(line);
    std::string destination, prefix, source, sourcePrefix, nextHop, metric, refs, use, flags, iface;
    if (!(fields >> destination >> prefix >> source >> sourcePrefix >> nextHop >> metric >> refs >> use >> flags >>
          iface)) {
      continue;
    }
    unsigned long bits = std::strtoul(flags.c_str(), nullptr, 16);
    if (iface != "lo" && allZeros(destination) && allZeros(prefix) && (bits & kRouteUp) && !(bits & kRouteReject)) {
      return true;
    }
  }
  return false;
}

namespace detail {

ReachabilityFlags currentRouteFlags() {
  return routeTablesHaveDefaultRoute(readFile("/proc/net/route"), readFile("/proc/net/ipv6_route"))
             ? kReachabilityFlagReachable
             : 0;
}

struct RouteMonitor::State {
  std::mutex mutex;
  std::map<int, std::function<void()>> listeners;
  int nextId = 1;
  int socket = -1;
  int wake = -1;
  std::thread thread;

  void run() {
    char buffer[8192];
    pollfd fds[2] = {{socket, POLLIN, 0}, {wake, POLLIN, 0}};
    for (;;) {
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents) return;
      // Read the whole batch, then tell once.
      bool changed = false;
      while (::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT) > 0) changed = true;
      if (!changed) continue;
      std::map<int, std::function<void()>> current;
      {
        std::lock_guard lock(mutex);
        current = listeners;
      }
      for (auto& [id, listener] : current) listener();
    }
  }

  void stop() {
    if (!thread.joinable()) return;
    uint64_t one = 1;
    (void)::write(wake, &one, sizeof one);
    thread.join();
  }
};

RouteMonitor& RouteMonitor::shared() {
  // Never destroyed: the thread is stopped by the dispatch layer's exit.
  static RouteMonitor* monitor = new RouteMonitor;
  return *monitor;
}

RouteMonitor::RouteMonitor() : state_(new State) {
  int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (fd < 0) return;
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
  int wake = ::eventfd(0, EFD_CLOEXEC);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || wake < 0) {
    ::close(fd);
    if (wake >= 0) ::close(wake);
    return;
  }
  state_->socket = fd;
  state_->wake = wake;
  State* state = state_;
  state_->thread = dispatch::startThread([state] { state->run(); }, "quillbox-routes");
  dispatch::detail::addShutdownStep(dispatch::detail::ShutdownStage::Network, [state] { state->stop(); });
}

int RouteMonitor::addListener(std::function<void()> listener) {
  std::lock_guard lock(state_->mutex);
  int id = state_->nextId++;
  state_->listeners.emplace(id, std::move(listener));
  return id;
}

void RouteMonitor::removeListener(int id) {
  std::lock_guard lock(state_->mutex);
  state_->listeners.erase(id);
}

}  // namespace detail
}  // namespace net
