#include "Platform/Dispatch/OperationQueue.h"

#include <algorithm>

#include "Platform/Foundation/Error.h"

namespace dispatch {
namespace {

thread_local const OperationQueue* tCurrentOperationQueue = nullptr;

}  // namespace

OperationQueue::OperationQueue(std::string name, std::shared_ptr<Queue> underlying, int maxCount)
    : name_(std::move(name)), underlying_(std::move(underlying)), maxCount_(maxCount) {}

OperationQueue::~OperationQueue() = default;

std::shared_ptr<OperationQueue> OperationQueue::create(std::string name, Priority priority) {
  return std::shared_ptr<OperationQueue>(
      new OperationQueue(std::move(name), Queue::global(priority), kDefaultMaxConcurrentOperationCount));
}

const std::shared_ptr<OperationQueue>& OperationQueue::main() {
  static const std::shared_ptr<OperationQueue> queue(new OperationQueue("main-thread", Queue::main(), 1));
  return queue;
}

std::shared_ptr<OperationQueue> OperationQueue::current() {
  if (tCurrentOperationQueue) {
    return const_cast<OperationQueue*>(tCurrentOperationQueue)->shared_from_this();
  }
  if (isMainThread()) return main();
  return nullptr;
}

bool OperationQueue::isCurrent() const {
  if (this == main().get()) return isMainThread();
  return tCurrentOperationQueue == this;
}

void OperationQueue::setName(std::string name) {
  std::lock_guard lock(mutex_);
  name_ = std::move(name);
}

int OperationQueue::maxConcurrentOperationCount() const {
  std::lock_guard lock(mutex_);
  return maxCount_;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
  if (this == main().get()) return;  // the main queue stays serial
  std::unique_lock lock(mutex_);
  maxCount_ = count == 0 ? 1 : count;
  startReady(lock);
}

std::shared_ptr<Queue> OperationQueue::underlyingQueue() const {
  std::lock_guard lock(mutex_);
  return underlying_;
}

void OperationQueue::setUnderlyingQueue(std::shared_ptr<Queue> queue) {
  if (this == main().get()) return;  // the main queue stays on the main thread
  std::lock_guard lock(mutex_);
  if (queue) underlying_ = std::move(queue);
}

bool OperationQueue::isSuspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

void OperationQueue::setSuspended(bool suspended) {
  std::unique_lock lock(mutex_);
  suspended_ = suspended;
  startReady(lock);
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
  if (!operation) return;
  if (operation->isFinished() || operation->isExecuting()) {
    throw ns::Exception(ns::kInvalidArgumentException, "dispatch: operation is finished or executing");
  }
  // A dependency finishing elsewhere may make this operation ready.
  std::weak_ptr<OperationQueue> weak = weak_from_this();
  for (auto& dep : operation->dependencies()) {
    dep->whenFinished([weak] {
      if (auto self = weak.lock()) {
        std::unique_lock lock(self->mutex_);
        self->startReady(lock);
      }
    });
  }
  std::unique_lock lock(mutex_);
  pending_.push_back(std::move(operation));
  startReady(lock);
}

void OperationQueue::addOperation(std::function<void()> block) {
  addOperation(Operation::withBlock(std::move(block)));
}

void OperationQueue::startReady(std::unique_lock<std::mutex>&) {
  while (!suspended_ && (maxCount_ < 0 || running_ < maxCount_)) {
    auto it = std::find_if(pending_.begin(), pending_.end(), [](auto& op) { return op->isReady(); });
    if (it == pending_.end()) return;
    auto op = *it;
    pending_.erase(it);
    ++running_;
    executing_.push_back(op);
    auto self = shared_from_this();
    underlying_->async([self, op] { self->run(op); });
  }
}

void OperationQueue::run(const std::shared_ptr<Operation>& operation) {
  // The queue's slot is freed when the operation finishes, which for an
  // asynchronous one is later, on another thread.
  std::weak_ptr<OperationQueue> weak = weak_from_this();
  operation->whenFinished([weak, operation] {
    if (auto self = weak.lock()) self->finished(operation);
  });
  const OperationQueue* outer = tCurrentOperationQueue;
  tCurrentOperationQueue = this;
  operation->start();
  tCurrentOperationQueue = outer;
}

void OperationQueue::finished(const std::shared_ptr<Operation>& operation) {
  std::unique_lock lock(mutex_);
  --running_;
  executing_.erase(std::find(executing_.begin(), executing_.end(), operation));
  startReady(lock);
  if (pending_.empty() && running_ == 0) idle_.notify_all();
}

void OperationQueue::cancelAllOperations() {
  std::unique_lock lock(mutex_);
  for (auto& op : pending_) op->cancel();
  for (auto& op : executing_) op->cancel();
  // Cancelled operations are ready at once: let them leave.
  startReady(lock);
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
  if (this == main().get() && isMainThread()) {
    throw ns::Exception(ns::kInternalInconsistencyException,
                        "dispatch: waiting for the main operation queue on the main thread would deadlock");
  }
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [&] { return pending_.empty() && running_ == 0; });
}

size_t OperationQueue::operationCount() const {
  std::lock_guard lock(mutex_);
  return pending_.size() + size_t(running_);
}

}  // namespace dispatch
