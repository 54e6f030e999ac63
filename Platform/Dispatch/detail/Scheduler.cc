#include "Platform/Dispatch/detail/Scheduler.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "Platform/Dispatch/Thread.h"
#include "Platform/Dispatch/detail/Shutdown.h"

namespace dispatch::detail {

Scheduler& Scheduler::shared() {
  static Scheduler* scheduler = [] {
    auto* s = new Scheduler;
    addShutdownStep(ShutdownStage::Deadlines, [s] { s->shutdown(); });
    return s;
  }();
  return *scheduler;
}

Scheduler::Scheduler() {
  observer_ = ns::Clock::addObserver([this] {
    changed_.notify_all();
    if (ns::Clock::isVirtual()) fireDue();
  });
  thread_ = startThread([this] { loop(); }, "quillbox-timers");
}

void Scheduler::shutdown() {
  ns::Clock::removeObserver(observer_);
  std::map<Key, Entry> uptime;
  std::map<std::pair<double, Id>, Entry> wall;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    uptime.swap(uptime_);
    wall.swap(wall_);
    index_.clear();
  }
  changed_.notify_all();
  thread_.join();
  std::lock_guard firing(firing_);  // a firer still running finishes first
}

Scheduler::Id Scheduler::at(Time deadline, std::function<void()> fire) {
  Id id;
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return 0;
    id = nextId_++;
    uptime_.emplace(Key{deadline, id}, Entry{id, std::move(fire)});
    index_[id] = Where{false, deadline, 0};
  }
  changed_.notify_all();
  return id;
}

Scheduler::Id Scheduler::atWall(ns::Date date, std::function<void()> fire) {
  Id id;
  double when = date.timeIntervalSinceReferenceDate();
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return 0;
    id = nextId_++;
    wall_.emplace(std::pair{when, id}, Entry{id, std::move(fire)});
    index_[id] = Where{true, 0, when};
  }
  changed_.notify_all();
  return id;
}

void Scheduler::cancel(Id id) {
  std::function<void()> dropped;  // released outside the lock
  std::lock_guard lock(mutex_);
  auto it = index_.find(id);
  if (it == index_.end()) return;
  if (it->second.wall) {
    auto e = wall_.find({it->second.wallDeadline, id});
    if (e != wall_.end()) {
      dropped = std::move(e->second.fire);
      wall_.erase(e);
    }
  } else {
    auto e = uptime_.find({it->second.deadline, id});
    if (e != uptime_.end()) {
      dropped = std::move(e->second.fire);
      uptime_.erase(e);
    }
  }
  index_.erase(it);
}

void Scheduler::fireDue() {
  std::lock_guard firing(firing_);
  for (;;) {
    uint64_t now = ns::Clock::uptimeNanos();
    double wallNow = ns::Clock::now().timeIntervalSinceReferenceDate();
    std::function<void()> fire;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      if (!uptime_.empty() && uptime_.begin()->first.first <= now) {
        auto it = uptime_.begin();
        fire = std::move(it->second.fire);
        index_.erase(it->second.id);
        uptime_.erase(it);
      } else if (!wall_.empty() && wall_.begin()->first.first <= wallNow) {
        auto it = wall_.begin();
        fire = std::move(it->second.fire);
        index_.erase(it->second.id);
        wall_.erase(it);
      } else {
        return;
      }
    }
    fire();
  }
}

std::optional<double> Scheduler::secondsToNextDeadline() {
  uint64_t now = ns::Clock::uptimeNanos();
  double wallNow = ns::Clock::now().timeIntervalSinceReferenceDate();
  std::lock_guard lock(mutex_);
  std::optional<double> next;
  if (!uptime_.empty()) {
    uint64_t at = uptime_.begin()->first.first;
    next = at <= now ? 0.0 : double(at - now) / 1e9;
  }
  if (!wall_.empty()) {
    double left = std::max(0.0, wall_.begin()->first.first - wallNow);
    next = next ? std::min(*next, left) : left;
  }
  return next;
}

void Scheduler::loop() {
  using namespace std::chrono;
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    uint64_t now = ns::Clock::uptimeNanos();
    double wallNow = ns::Clock::now().timeIntervalSinceReferenceDate();
    bool due = (!uptime_.empty() && uptime_.begin()->first.first <= now) ||
               (!wall_.empty() && wall_.begin()->first.first <= wallNow);
    if (due) {
      // Also with a virtual clock: an entry made already due.
      lock.unlock();
      fireDue();
      lock.lock();
      continue;
    }
    if (ns::Clock::isVirtual() || (uptime_.empty() && wall_.empty())) {
      // Virtual time fires from the clock's observer; wake for a change of
      // mode or a new entry. The bound only guards against a missed wake.
      changed_.wait_for(lock, seconds(1));
      continue;
    }
    // Sleep until the next deadline; wall deadlines are re-checked at least
    // every second since the wall clock may be changed.
    nanoseconds wait = seconds(1);
    if (!uptime_.empty()) wait = std::min<nanoseconds>(wait, nanoseconds(uptime_.begin()->first.first - now));
    if (!wall_.empty()) {
      double left = wall_.begin()->first.first - wallNow;
      wait = std::min<nanoseconds>(wait, nanoseconds(int64_t(left * 1e9) + 1));
    }
    changed_.wait_for(lock, wait);
  }
}

}  // namespace dispatch::detail
