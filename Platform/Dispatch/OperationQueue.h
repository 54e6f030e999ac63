// Queues of Operations: run as many at once as allowed (1 makes a serial
// queue), in order of addition once their dependencies finished; can be
// suspended and have all their operations cancelled. The main operation
// queue runs its operations on the main queue, one at a time.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "Platform/Dispatch/Operation.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Executor.h"

namespace dispatch {

class OperationQueue : public ns::Executor, public std::enable_shared_from_this<OperationQueue> {
 public:
  static constexpr int kDefaultMaxConcurrentOperationCount = -1;

  static std::shared_ptr<OperationQueue> create(std::string name = {},
                                                Priority priority = Priority::Default);
  static const std::shared_ptr<OperationQueue>& main();
  // The operation queue whose operation the calling code runs in, or null.
  static std::shared_ptr<OperationQueue> current();

  ~OperationQueue() override;

  const std::string& name() const { return name_; }
  void setName(std::string name);
  int maxConcurrentOperationCount() const;
  void setMaxConcurrentOperationCount(int count);
  // The dispatch queue operations run on: the main queue for the main
  // operation queue, a global queue otherwise, unless set.
  std::shared_ptr<Queue> underlyingQueue() const;
  void setUnderlyingQueue(std::shared_ptr<Queue> queue);
  bool isSuspended() const;
  void setSuspended(bool suspended);

  void addOperation(std::shared_ptr<Operation> operation);
  void addOperation(std::function<void()> block);
  // Cancels every operation queued or running (running ones see
  // isCancelled()); cancelled ones still leave the queue as finished.
  void cancelAllOperations();
  // Blocks until the queue is empty. Not on the main thread for the main
  // operation queue (that would deadlock: throws ns::Exception).
  void waitUntilAllOperationsAreFinished();
  size_t operationCount() const;

  // ns::Executor
  void execute(std::function<void()> block) override { addOperation(std::move(block)); }
  bool isCurrent() const override;

 private:
  OperationQueue(std::string name, std::shared_ptr<Queue> underlying, int maxCount);
  void startReady(std::unique_lock<std::mutex>& lock);
  void run(const std::shared_ptr<Operation>& operation);
  void finished(const std::shared_ptr<Operation>& operation);

  std::string name_;
  std::shared_ptr<Queue> underlying_;
  mutable std::mutex mutex_;
  std::condition_variable idle_;
  int maxCount_;
  bool suspended_ = false;
  int running_ = 0;
  std::deque<std::shared_ptr<Operation>> pending_;
  std::vector<std::shared_ptr<Operation>> executing_;
};

}  // namespace dispatch
