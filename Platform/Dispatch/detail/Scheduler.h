// Deadlines of the dispatch layer: calls a fire function once when its time
// comes. In real mode a thread of its own waits for the next deadline; with
// a virtual clock nothing fires until the clock moves, and then everything
// due fires at once, in due order, on the thread that moved it.
//
// Fire functions only queue work (they may schedule or cancel entries).
// After shutdown at exit, new entries are dropped.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "Platform/Dispatch/Time.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Date.h"

namespace dispatch::detail {

class Scheduler {
 public:
  using Id = uint64_t;

  static Scheduler& shared();

  // At a point of uptime.
  Id at(Time deadline, std::function<void()> fire);
  // When the wall clock reaches `date`.
  Id atWall(ns::Date date, std::function<void()> fire);
  // Forgets an entry not yet fired (unknown ids are ignored).
  void cancel(Id id);

  // Fires everything due now, in due order.
  void fireDue();

  // Seconds from now to the earliest entry (uptime or wall), if any.
  std::optional<double> secondsToNextDeadline();

 private:
  Scheduler();
  void shutdown();
  void loop();
  struct Entry {
    Id id;
    std::function<void()> fire;
  };
  using Key = std::pair<uint64_t, Id>;  // deadline, then order of scheduling

  std::mutex mutex_;
  std::mutex firing_;  // one firer at a time keeps due order
  std::condition_variable changed_;
  std::map<Key, Entry> uptime_;
  std::map<std::pair<double, Id>, Entry> wall_;
  struct Where {
    bool wall;
    uint64_t deadline;
    double wallDeadline;
  };
  std::map<Id, Where> index_;
  Id nextId_ = 1;
  bool stopping_ = false;
  ns::Clock::ObserverId observer_ = 0;
  std::thread thread_;
};

}  // namespace dispatch::detail
