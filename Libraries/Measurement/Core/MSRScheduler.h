// The measurement worker queue: every step that touches the database, the
// persisted configuration or the network runs on this one serial queue.
// Blocks run one at a time in submission order at background priority,
// each under a block ID naming its call site ("MSRMeasurement:622"), which
// shows only in log lines.
//
// An ns::Exception thrown by a block is caught and logged with the block's
// ID (level 1, code 30000 asynchronously, 30003 synchronously) and the
// queue goes on with the next block; other exceptions are not caught.
// An empty block is logged (30005, 30002) and not run.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace dispatch {
class Queue;
}

class MSRScheduler {
 public:
  // A serial queue labelled `label` (the engine's is
  // "com.zorori.zova.worker"), aimed at the background global queue.
  explicit MSRScheduler(const std::string& label);

  const std::shared_ptr<dispatch::Queue>& workerQueue() const { return workerQueue_; }

  void scheduleOnWorkerQueueBlockID(const std::string& blockID, std::function<void()> block);
  // Runs the block on the worker queue and waits for it. When it did not
  // run to its end (it threw, or the caller is on the worker queue itself,
  // where waiting would never end) the caller logs level 4, code 30004,
  // "Synchronous task failed. Block ID=<id>".
  void dispatchSyncOnWorkerQueueBlockID(const std::string& blockID, const std::function<void()>& block);

  // Whether the caller runs off the main thread. On the main thread it logs
  // (level 1, code 30001) "Method <name> should execute on background
  // thread" ("<empty method name>" for an empty name) and answers false; the
  // caller goes on either way.
  static bool checkOnBackgroundThreadWithMethodName(const std::string& methodName);

 private:
  std::shared_ptr<dispatch::Queue> workerQueue_;
};
