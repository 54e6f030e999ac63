// A group of blocks (or entered tasks) to wait for as a whole.
//
// enter()/leave() count outstanding work; notify blocks are queued on their
// queue when the count reaches zero; wait blocks the calling thread.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "Platform/Dispatch/Queue.h"

namespace dispatch {

// Copies refer to the same group, so a block may capture one by value.
class Group {
 public:
  Group();

  void enter();
  // Leaving more often than entering is a programming error: throws
  // ns::Exception.
  void leave();
  // Runs `block` on `queue` as part of the group.
  void async(const std::shared_ptr<Queue>& queue, Block block);
  // Queues `block` on `queue` once the group is empty (at once when it is).
  void notify(const std::shared_ptr<Queue>& queue, Block block);
  // Waits until the group is empty. Returns false when `deadline` passed
  // first (kTimeForever: no limit).
  bool wait(Time deadline = kTimeForever);
  bool waitFor(int64_t timeoutNanos) { return wait(timeAfter(timeoutNanos)); }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    long count = 0;
    std::vector<std::pair<std::shared_ptr<Queue>, Block>> notifies;
  };
  static void leave(const std::shared_ptr<State>& state);
  std::shared_ptr<State> state_;
};

}  // namespace dispatch
