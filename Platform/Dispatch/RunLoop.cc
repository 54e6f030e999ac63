#include "Platform/Dispatch/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/detail/CurrentQueue.h"
#include "Platform/Dispatch/detail/Scheduler.h"
#include "Platform/Dispatch/detail/Shutdown.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Error.h"

namespace dispatch {

struct RunLoop::State {
  mutable std::mutex mutex;
  std::condition_variable ready;
  std::deque<std::function<void()>> blocks;
  bool stopRequested = false;
  uint64_t blocksRun = 0;
  uint64_t wakes = 0;
};

namespace {

void requireMainThread(const char* what) {
  if (!isMainThread()) {
    throw ns::Exception(ns::kInternalInconsistencyException,
                        std::string("dispatch: RunLoop::") + what + " called off the main thread");
  }
}

}  // namespace

RunLoop& RunLoop::main() {
  // Never destroyed: workers and deadlines may queue onto it during exit.
  static RunLoop* loop = [] {
    auto* l = new RunLoop;
    detail::addShutdownStep(detail::ShutdownStage::MainLoop, [l] {
      std::deque<std::function<void()>> dropped;
      std::lock_guard lock(l->state_->mutex);
      dropped.swap(l->state_->blocks);
    });
    return l;
  }();
  return *loop;
}

RunLoop::RunLoop() : state_(std::make_unique<State>()) {}
RunLoop::~RunLoop() = default;

void RunLoop::perform(std::function<void()> block) {
  {
    std::lock_guard lock(state_->mutex);
    state_->blocks.push_back(std::move(block));
  }
  state_->ready.notify_all();
}

bool RunLoop::hasPendingWork() const {
  std::lock_guard lock(state_->mutex);
  return !state_->blocks.empty();
}

uint64_t RunLoop::blocksRun() const {
  std::lock_guard lock(state_->mutex);
  return state_->blocksRun;
}

void RunLoop::stop() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopRequested = true;
  }
  state_->ready.notify_all();
}

void RunLoop::wake() {
  {
    std::lock_guard lock(state_->mutex);
    ++state_->wakes;
  }
  state_->ready.notify_all();
}

// Runs the blocks queued before the call (waiting up to `timeoutSeconds`
// for one when there are none); returns how many ran.
static size_t runReady(RunLoop::State& state, double timeoutSeconds);

bool RunLoop::runOnce(double timeoutSeconds) {
  requireMainThread("runOnce");
  return runReady(*state_, timeoutSeconds) > 0;
}

void RunLoop::advanceClock(double seconds) {
  requireMainThread("advanceClock");
  drain();
  if (!ns::Clock::isVirtual()) return;
  double left = std::max(0.0, seconds);
  // Steps between deadlines are differences of large wall and uptime
  // values: their sum can end a rounding error short of a deadline that
  // lies exactly at the end of the span. A deadline that close past the
  // end counts as inside it.
  constexpr double kRoundingSlack = 1e-6;
  // A bound against timers that keep rescheduling themselves at once.
  for (int steps = 0; steps < 100000; ++steps) {
    auto next = detail::Scheduler::shared().secondsToNextDeadline();
    if (!next || *next > left + kRoundingSlack) break;
    ns::Clock::advance(*next);
    left -= *next;
    drain();
  }
  ns::Clock::advance(std::max(0.0, left));
  drain();
}

int RunLoop::drain() {
  requireMainThread("drain");
  int total = 0;
  while (size_t ran = runReady(*state_, 0)) total += int(ran);
  return total;
}

static size_t runReady(RunLoop::State& state, double timeoutSeconds) {
  std::unique_lock lock(state.mutex);
  if (state.blocks.empty() && timeoutSeconds > 0) {
    auto limit = std::chrono::duration<double>(timeoutSeconds);
    uint64_t wakes = state.wakes;
    state.ready.wait_for(lock, limit,
                         [&] { return !state.blocks.empty() || state.stopRequested || state.wakes != wakes; });
  }
  // Only what was queued before we started: a block that queues itself
  // again must not starve the caller.
  size_t count = state.blocks.size();
  size_t ran = 0;
  detail::QueueScope scope(Queue::main().get(), true);
  while (ran < count && !state.blocks.empty()) {
    auto block = std::move(state.blocks.front());
    state.blocks.pop_front();
    lock.unlock();
    block();
    block = nullptr;
    ++ran;
    lock.lock();
    ++state.blocksRun;
  }
  return ran;
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double timeoutSeconds) {
  requireMainThread("runUntil");
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  for (;;) {
    if (predicate()) return true;
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return predicate();
    // Short slices: the predicate may turn true through other threads
    // without any work reaching this loop.
    double left = std::chrono::duration<double>(deadline - now).count();
    runOnce(std::min(left, 0.002));
  }
}

void RunLoop::runUntilDate(ns::Date date) {
  requireMainThread("runUntilDate");
  double interval = date.timeIntervalSince(ns::Clock::now());
  runUntil([&] { return ns::Clock::now() >= date; }, std::max(interval, 0.0));
}

void RunLoop::run() {
  requireMainThread("run");
  for (;;) {
    {
      std::lock_guard lock(state_->mutex);
      if (state_->stopRequested) {
        state_->stopRequested = false;
        return;
      }
    }
    runOnce(0.1);
  }
}

}  // namespace dispatch
