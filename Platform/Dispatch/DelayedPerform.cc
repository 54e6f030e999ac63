#include "Platform/Dispatch/DelayedPerform.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Time.h"
#include "Platform/Dispatch/detail/Scheduler.h"

namespace dispatch {
namespace {

struct Request {
  const void* target;
  std::string selector;
  const void* argument;
  std::function<void()> block;
  uint64_t schedulerId = 0;
};

struct Requests {
  std::mutex mutex;
  uint64_t nextId = 1;
  std::map<uint64_t, Request> pending;
};

Requests& requests() {
  static Requests r;
  return r;
}

// Runs on the main loop: a request cancelled after it fell due but before
// the loop reached it is no longer in the table.
void runRequest(uint64_t id) {
  std::function<void()> block;
  {
    std::lock_guard lock(requests().mutex);
    auto it = requests().pending.find(id);
    if (it == requests().pending.end()) return;
    block = std::move(it->second.block);
    requests().pending.erase(it);
  }
  block();
}

template <class Match>
void cancelMatching(Match match) {
  std::vector<uint64_t> schedulerIds;
  std::vector<std::function<void()>> dropped;  // released outside the lock
  {
    std::lock_guard lock(requests().mutex);
    for (auto it = requests().pending.begin(); it != requests().pending.end();) {
      if (match(it->second)) {
        schedulerIds.push_back(it->second.schedulerId);
        dropped.push_back(std::move(it->second.block));
        it = requests().pending.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto id : schedulerIds) detail::Scheduler::shared().cancel(id);
}

}  // namespace

void performAfterDelay(const void* target, std::string_view selector, const void* argument, double delaySeconds,
                       std::function<void()> block) {
  if (!block) return;
  auto& scheduler = detail::Scheduler::shared();
  std::lock_guard lock(requests().mutex);
  uint64_t id = requests().nextId++;
  auto& request = requests().pending[id];
  request = Request{target, std::string(selector), argument, std::move(block)};
  // The fire function only queues, so scheduling under our lock is safe.
  request.schedulerId = scheduler.at(timeAfterSeconds(std::max(delaySeconds, 0.0)),
                                     [id] { RunLoop::main().perform([id] { runRequest(id); }); });
}

void cancelPreviousPerformRequests(const void* target) {
  cancelMatching([&](const Request& r) { return r.target == target; });
}

void cancelPreviousPerformRequests(const void* target, std::string_view selector, const void* argument) {
  cancelMatching([&](const Request& r) {
    return r.target == target && r.selector == selector && r.argument == argument;
  });
}

}  // namespace dispatch
