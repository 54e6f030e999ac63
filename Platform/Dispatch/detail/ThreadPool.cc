#include "Platform/Dispatch/detail/ThreadPool.h"

#include <chrono>
#include <cstdio>

#include "Platform/Dispatch/MainThread.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Thread.h"
#include "Platform/Dispatch/detail/Shutdown.h"

namespace dispatch::detail {

ThreadPool& ThreadPool::shared() {
  static ThreadPool* pool = [] {
    auto* p = new ThreadPool;
    addShutdownStep(ShutdownStage::Workers, [p] { p->shutdown(); });
    return p;
  }();
  return *pool;
}

ThreadPool::ThreadPool() : shared_(new Shared) {}

void ThreadPool::shutdown() {
  using namespace std::chrono;
  std::deque<std::function<void()>> dropped;
  std::unique_lock lock(shared_->mutex);
  shared_->stopping = true;
  dropped.swap(shared_->tasks);
  shared_->ready.notify_all();
  auto giveUp = steady_clock::now() + seconds(10);
  while (shared_->live > 0 && steady_clock::now() < giveUp) {
    shared_->exited.wait_for(lock, milliseconds(2));
    if (shared_->live > 0 && isMainThread()) {
      lock.unlock();
      RunLoop::main().drain();
      lock.lock();
    }
  }
  if (shared_->live > 0) {
    // A block that never returns: leave its thread to the process's end
    // rather than hang the exit.
    std::fprintf(stderr, "dispatch: %zu worker thread(s) still busy at exit\n", shared_->live);
    for (auto& t : shared_->threads) t.detach();
    shared_->threads.clear();
    return;
  }
  auto threads = std::move(shared_->threads);
  lock.unlock();
  for (auto& t : threads) t.join();
  dropped.clear();
}

void ThreadPool::submit(std::function<void()> task) {
  std::unique_lock lock(shared_->mutex);
  if (shared_->stopping) return;
  shared_->tasks.push_back(std::move(task));
  if (shared_->idle >= shared_->tasks.size() || shared_->threads.size() >= kMaxThreads) {
    shared_->ready.notify_one();
    return;
  }
  ++shared_->live;
  shared_->threads.push_back(startThread([s = shared_] { work(s); }));
}

bool ThreadPool::busy() const {
  std::lock_guard lock(shared_->mutex);
  return !shared_->tasks.empty() || shared_->idle < shared_->live;
}

void ThreadPool::work(Shared* s) {
  std::unique_lock lock(s->mutex);
  for (;;) {
    while (s->tasks.empty() && !s->stopping) {
      ++s->idle;
      if (s->idle == s->live) {
        // The last busy worker rests: the main thread may be waiting for
        // the queues to fall idle (RunLoop::runUntil); it hears of it now.
        lock.unlock();
        RunLoop::main().wake();
        lock.lock();
      }
      if (s->tasks.empty() && !s->stopping) s->ready.wait(lock);
      --s->idle;
    }
    if (s->stopping) break;
    auto task = std::move(s->tasks.front());
    s->tasks.pop_front();
    lock.unlock();
    task();
    task = nullptr;  // release captures outside the lock
    lock.lock();
  }
  --s->live;
  s->exited.notify_all();
}

}  // namespace dispatch::detail
