// Dispatch queues: serial and concurrent queues of blocks run on a shared
// pool of worker threads, the main queue (served by the main run loop) and
// the global concurrent queues by priority.
//
// A serial queue runs its blocks one at a time in submission order. A
// concurrent queue starts them in order and lets them overlap; a barrier
// block waits for everything before it and runs alone. `sync` runs the block
// on the calling thread once the queue lets it; calling `sync` on a serial
// queue the thread already runs on (directly or through nested syncs), or on
// the main queue from the main thread, would deadlock: it throws
// ns::Exception (kInternalInconsistencyException) instead.
//
// `after` deadlines follow ns::Clock: with a virtual clock nothing fires
// until the clock is moved, and then what fell due is queued in due order.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Platform/Dispatch/MainThread.h"
#include "Platform/Dispatch/Time.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Executor.h"

namespace dispatch {

using Block = std::function<void()>;

enum class Priority { High, Default, Utility, Background };

class Queue : public ns::Executor, public std::enable_shared_from_this<Queue> {
 public:
  enum class Kind { Serial, Concurrent };

  static std::shared_ptr<Queue> create(std::string label, Kind kind = Kind::Serial,
                                       Priority priority = Priority::Default);
  static std::shared_ptr<Queue> serial(std::string label) { return create(std::move(label)); }
  static std::shared_ptr<Queue> concurrent(std::string label) {
    return create(std::move(label), Kind::Concurrent);
  }
  // The queue of the main thread; its blocks run when the main run loop is
  // pumped (RunLoop::main()).
  static const std::shared_ptr<Queue>& main();
  // The process-wide concurrent queues.
  static const std::shared_ptr<Queue>& global(Priority priority = Priority::Default);

  // Label of the queue the calling code runs on: "main-thread" on the main
  // thread outside any other queue, "" on a thread that is on no queue.
  static std::string currentLabel();
  // The queue the calling code runs on, or null.
  static std::shared_ptr<Queue> current();

  ~Queue() override;

  const std::string& label() const { return label_; }
  Kind kind() const { return kind_; }
  Priority priority() const { return priority_.load(); }
  bool isMain() const;

  void async(Block block);
  void sync(const Block& block);
  // Barriers matter on concurrent queues; on a serial queue they are plain.
  void asyncBarrier(Block block);
  void syncBarrier(const Block& block);
  // Queues `block` once `delayNanos` of uptime have passed.
  void after(int64_t delayNanos, Block block);
  void afterSeconds(double seconds, Block block);
  // Queues `block` when the wall clock reaches `date`.
  void afterWallTime(ns::Date date, Block block);

  // Queue-specific data: `value` under `key` (an address), readable from
  // blocks running on this queue with Queue::currentSpecific(key). A key
  // not set on a queue is looked up on its target queue, and so on.
  void setSpecific(const void* key, void* value);
  void* specific(const void* key) const;
  static void* currentSpecific(const void* key);

  // The queue this one is said to run on (its priority follows it). Blocks
  // still run on the shared workers; the target serves specific lookups.
  void setTarget(std::shared_ptr<Queue> target);
  std::shared_ptr<Queue> target() const;

  // Counted: blocks already running finish; no new one starts until every
  // suspend is matched by a resume.
  void suspend();
  void resume();

  // ns::Executor
  void execute(std::function<void()> block) override { async(std::move(block)); }
  bool isCurrent() const override;

  struct State;  // internal
 protected:
  Queue(std::string label, Kind kind, Priority priority);

 private:
  friend class RunLoop;
  std::string label_;
  Kind kind_;
  std::atomic<Priority> priority_;
  std::unique_ptr<State> state_;
};

// Whether any queue but the main one has a block waiting or running (what
// an action started elsewhere, that may still come back to the main queue).
bool otherQueuesBusy();

}  // namespace dispatch
