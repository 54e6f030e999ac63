// The worker threads behind every queue but the main one. Threads are made
// when work arrives and none is idle (up to a cap), and all are joined at
// exit; work not started by then is dropped.
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
  ~ThreadPool();

  void submit(std::function<void()> task);

 private:
  ThreadPool() = default;
  void work();

  static constexpr size_t kMaxThreads = 128;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> tasks_;
  std::vector<std::thread> threads_;
  size_t idle_ = 0;
  bool stopping_ = false;
};

}  // namespace dispatch::detail
