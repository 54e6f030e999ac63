// The worker threads behind every queue but the main one. Threads are made
// when work arrives and none is idle (up to a cap). At exit (Shutdown.h) the
// pool drops work not yet started and joins its threads; while it waits on
// the main thread it keeps pumping the main run loop, so a worker that is
// inside a sync onto the main queue can finish.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace dispatch::detail {

class ThreadPool {
 public:
  static ThreadPool& shared();

  void submit(std::function<void()> task);
  // Whether a task waits or runs.
  bool busy() const;

 private:
  ThreadPool();
  void shutdown();
  struct Shared {
    std::mutex mutex;
    std::condition_variable ready;
    std::condition_variable exited;
    std::deque<std::function<void()>> tasks;
    std::vector<std::thread> threads;
    size_t idle = 0;
    size_t live = 0;
    bool stopping = false;
  };
  static void work(Shared* shared);

  static constexpr size_t kMaxThreads = 128;
  Shared* shared_;
};

}  // namespace dispatch::detail
