#include "Platform/Dispatch/Queue.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/detail/CurrentQueue.h"
#include "Platform/Dispatch/detail/Scheduler.h"
#include "Platform/Dispatch/detail/ThreadPool.h"
#include "Platform/Foundation/Error.h"

namespace dispatch {

namespace {

constexpr const char* kMainLabel = "main-thread";

// A caller inside sync waits here until the queue lets it run.
struct SyncTurn {
  std::mutex mutex;
  std::condition_variable cv;
  bool go = false;
};

struct Item {
  Block block;
  bool barrier = false;
  SyncTurn* turn = nullptr;            // sync: the caller runs the block
  std::shared_ptr<Queue> keepAlive;    // a queued block retains its queue
};

[[noreturn]] void deadlock(const std::string& label, const char* how) {
  throw ns::Exception(ns::kInternalInconsistencyException,
                      "dispatch: sync onto queue \"" + label + "\" " + how + " would deadlock");
}

}  // namespace

struct Queue::State {
  bool isMain = false;
  std::mutex mutex;
  std::deque<Item> items;
  int inflight = 0;
  bool exclusiveRunning = false;
  int suspendCount = 0;
  mutable std::mutex specificsMutex;
  std::map<const void*, void*> specifics;
  std::shared_ptr<Queue> target;

  // Starts what the queue allows: everything up to the next barrier on a
  // concurrent queue, one block at a time on a serial one.
  static void dispatchReady(Queue& queue, State& s, std::unique_lock<std::mutex>& lock);
  static void complete(Queue& queue, State& s, bool exclusive);
  static void runOnWorker(Queue& queue, State& s, Block& block, bool exclusive);
  static void sync(Queue& queue, State& s, const Block& block, bool barrier);
};

void Queue::State::runOnWorker(Queue& queue, State& s, Block& block, bool exclusive) {
  {
    detail::QueueScope scope(&queue, exclusive);
    block();
  }
  block = nullptr;
  complete(queue, s, exclusive);
}

void Queue::State::dispatchReady(Queue& queue, State& s, std::unique_lock<std::mutex>& lock) {
  (void)lock;
  while (!s.items.empty() && s.suspendCount == 0 && !s.exclusiveRunning) {
    Item& front = s.items.front();
    bool exclusive = queue.kind() == Queue::Kind::Serial || front.barrier;
    if (exclusive && s.inflight > 0) break;
    Item item = std::move(front);
    s.items.pop_front();
    ++s.inflight;
    if (exclusive) s.exclusiveRunning = true;
    if (item.turn) {
      std::lock_guard turnLock(item.turn->mutex);
      item.turn->go = true;
      item.turn->cv.notify_one();
      continue;
    }
    auto self = std::move(item.keepAlive);
    detail::ThreadPool::shared().submit(
        [self, block = std::move(item.block), exclusive]() mutable {
          runOnWorker(*self, *self->state_, block, exclusive);
        });
  }
}

void Queue::State::complete(Queue& queue, State& s, bool exclusive) {
  std::unique_lock lock(s.mutex);
  --s.inflight;
  if (exclusive) s.exclusiveRunning = false;
  dispatchReady(queue, s, lock);
}

Queue::Queue(std::string label, Kind kind, Priority priority)
    : label_(std::move(label)), kind_(kind), priority_(priority), state_(std::make_unique<State>()) {}

Queue::~Queue() = default;

std::shared_ptr<Queue> Queue::create(std::string label, Kind kind, Priority priority) {
  return std::shared_ptr<Queue>(new Queue(std::move(label), kind, priority));
}

// The main and global queues are never destroyed: code running during exit
// may still ask for them.
const std::shared_ptr<Queue>& Queue::main() {
  static const auto* queue = [] {
    auto q = std::shared_ptr<Queue>(new Queue(kMainLabel, Kind::Serial, Priority::High));
    q->state_->isMain = true;
    return new std::shared_ptr<Queue>(std::move(q));
  }();
  return *queue;
}

const std::shared_ptr<Queue>& Queue::global(Priority priority) {
  static const auto* queues = new std::shared_ptr<Queue>[4]{
      create("global.high", Kind::Concurrent, Priority::High),
      create("global.default", Kind::Concurrent, Priority::Default),
      create("global.utility", Kind::Concurrent, Priority::Utility),
      create("global.background", Kind::Concurrent, Priority::Background),
  };
  return queues[static_cast<int>(priority)];
}

bool Queue::isMain() const { return state_->isMain; }

std::shared_ptr<Queue> Queue::current() {
  auto& frames = detail::currentQueues();
  if (!frames.empty()) return const_cast<Queue*>(frames.back().queue)->shared_from_this();
  if (isMainThread()) return main();
  return nullptr;
}

std::string Queue::currentLabel() {
  auto& frames = detail::currentQueues();
  if (!frames.empty()) return frames.back().queue->label();
  return isMainThread() ? kMainLabel : "";
}

bool Queue::isCurrent() const {
  if (state_->isMain) return isMainThread();
  for (auto& frame : detail::currentQueues()) {
    if (frame.queue == this) return true;
  }
  return false;
}

void Queue::async(Block block) {
  if (!block) return;
  if (state_->isMain) {
    RunLoop::main().perform(std::move(block));
    return;
  }
  std::unique_lock lock(state_->mutex);
  state_->items.push_back(Item{std::move(block), false, nullptr, shared_from_this()});
  State::dispatchReady(*this, *state_, lock);
}

void Queue::asyncBarrier(Block block) {
  if (!block) return;
  if (state_->isMain || kind_ == Kind::Serial) return async(std::move(block));
  std::unique_lock lock(state_->mutex);
  state_->items.push_back(Item{std::move(block), true, nullptr, shared_from_this()});
  State::dispatchReady(*this, *state_, lock);
}

void Queue::State::sync(Queue& queue, State& s, const Block& block, bool barrier) {
  if (s.isMain) {
    if (isMainThread()) deadlock(queue.label(), "from the main thread");
    SyncTurn done;
    RunLoop::main().perform([&] {
      block();
      std::lock_guard lock(done.mutex);
      done.go = true;
      done.cv.notify_one();
    });
    std::unique_lock lock(done.mutex);
    done.cv.wait(lock, [&] { return done.go; });
    return;
  }
  bool exclusive = queue.kind() == Queue::Kind::Serial || barrier;
  for (auto& frame : detail::currentQueues()) {
    if (frame.queue == &queue && (exclusive || frame.exclusive)) deadlock(queue.label(), "from itself");
  }
  SyncTurn turn;
  {
    std::unique_lock lock(s.mutex);
    s.items.push_back(Item{nullptr, barrier, &turn, nullptr});
    dispatchReady(queue, s, lock);
  }
  {
    std::unique_lock lock(turn.mutex);
    turn.cv.wait(lock, [&] { return turn.go; });
  }
  struct Done {
    Queue& q;
    Queue::State& s;
    bool exclusive;
    ~Done() { State::complete(q, s, exclusive); }
  } done{queue, s, exclusive};
  detail::QueueScope scope(&queue, exclusive);
  block();
}

void Queue::sync(const Block& block) {
  if (block) State::sync(*this, *state_, block, false);
}

void Queue::syncBarrier(const Block& block) {
  if (block) State::sync(*this, *state_, block, kind_ == Kind::Concurrent);
}

void Queue::after(int64_t delayNanos, Block block) {
  if (!block) return;
  if (delayNanos <= 0) return async(std::move(block));
  auto self = shared_from_this();
  detail::Scheduler::shared().at(timeAfter(delayNanos),
                                 [self, block = std::move(block)]() mutable { self->async(std::move(block)); });
}

void Queue::afterSeconds(double seconds, Block block) {
  if (!block) return;
  if (seconds <= 0) return async(std::move(block));
  auto self = shared_from_this();
  detail::Scheduler::shared().at(timeAfterSeconds(seconds),
                                 [self, block = std::move(block)]() mutable { self->async(std::move(block)); });
}

void Queue::afterWallTime(ns::Date date, Block block) {
  if (!block) return;
  auto self = shared_from_this();
  detail::Scheduler::shared().atWall(date,
                                     [self, block = std::move(block)]() mutable { self->async(std::move(block)); });
}

void Queue::setSpecific(const void* key, void* value) {
  std::lock_guard lock(state_->specificsMutex);
  if (value) {
    state_->specifics[key] = value;
  } else {
    state_->specifics.erase(key);
  }
}

void* Queue::specific(const void* key) const {
  std::shared_ptr<Queue> target;
  {
    std::lock_guard lock(state_->specificsMutex);
    auto it = state_->specifics.find(key);
    if (it != state_->specifics.end()) return it->second;
    target = state_->target;
  }
  return target ? target->specific(key) : nullptr;
}

void Queue::setTarget(std::shared_ptr<Queue> target) {
  if (state_->isMain) return;
  // A queue may not end up targeting itself.
  for (auto q = target; q; q = q->target()) {
    if (q.get() == this) {
      throw ns::Exception(ns::kInvalidArgumentException, "dispatch: queue \"" + label_ + "\" would target itself");
    }
  }
  if (target) priority_ = target->priority();
  std::lock_guard lock(state_->specificsMutex);
  state_->target = std::move(target);
}

std::shared_ptr<Queue> Queue::target() const {
  std::lock_guard lock(state_->specificsMutex);
  return state_->target;
}

void* Queue::currentSpecific(const void* key) {
  auto& frames = detail::currentQueues();
  if (!frames.empty()) return frames.back().queue->specific(key);
  if (isMainThread()) return main()->specific(key);
  return nullptr;
}

void Queue::suspend() {
  if (state_->isMain) return;
  std::lock_guard lock(state_->mutex);
  ++state_->suspendCount;
}

void Queue::resume() {
  if (state_->isMain) return;
  std::unique_lock lock(state_->mutex);
  if (state_->suspendCount == 0) {
    throw ns::Exception(ns::kInternalInconsistencyException,
                        "dispatch: queue \"" + label_ + "\" resumed more often than suspended");
  }
  if (--state_->suspendCount == 0) State::dispatchReady(*this, *state_, lock);
}

bool otherQueuesBusy() { return detail::ThreadPool::shared().busy(); }

}  // namespace dispatch
