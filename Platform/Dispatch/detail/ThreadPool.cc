#include "Platform/Dispatch/detail/ThreadPool.h"

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/detail/Scheduler.h"

namespace dispatch::detail {

ThreadPool& ThreadPool::shared() {
  // What workers may still touch must outlive the pool: build it first so
  // that it is destroyed after the pool has joined its threads.
  Scheduler::shared();
  RunLoop::main();
  static ThreadPool pool;
  return pool;
}

ThreadPool::~ThreadPool() {
  std::vector<std::thread> threads;
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    threads.swap(threads_);
    dropped.swap(tasks_);
  }
  ready_.notify_all();
  for (auto& t : threads) t.join();
}

void ThreadPool::submit(std::function<void()> task) {
  std::unique_lock lock(mutex_);
  if (stopping_) return;
  tasks_.push_back(std::move(task));
  if (idle_ >= tasks_.size() || threads_.size() >= kMaxThreads) {
    lock.unlock();
    ready_.notify_one();
    return;
  }
  threads_.emplace_back([this] { work(); });
}

void ThreadPool::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    while (tasks_.empty() && !stopping_) {
      ++idle_;
      ready_.wait(lock);
      --idle_;
    }
    if (stopping_) return;
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    task = nullptr;  // release captures outside the lock
    lock.lock();
  }
}

}  // namespace dispatch::detail
