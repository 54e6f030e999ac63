#include "Platform/Dispatch/Operation.h"

namespace dispatch {

std::shared_ptr<Operation> Operation::withBlock(std::function<void()> body) {
  auto op = std::make_shared<Operation>();
  op->body_ = std::move(body);
  return op;
}

void Operation::main() {
  if (body_) body_();
}

void Operation::cancel() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
}

bool Operation::isCancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

bool Operation::isExecuting() const {
  std::lock_guard lock(mutex_);
  return executing_;
}

bool Operation::isFinished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

bool Operation::isReady() const {
  if (isCancelled()) return true;
  for (auto& dep : dependencies_) {
    if (!dep->isFinished()) return false;
  }
  return true;
}

void Operation::addDependency(std::shared_ptr<Operation> other) {
  if (other && other.get() != this) dependencies_.push_back(std::move(other));
}

void Operation::setCompletionBlock(std::function<void()> block) {
  std::lock_guard lock(mutex_);
  completion_ = std::move(block);
}

void Operation::whenFinished(std::function<void()> observer) {
  {
    std::lock_guard lock(mutex_);
    if (!finished_) {
      finishObservers_.push_back(std::move(observer));
      return;
    }
  }
  observer();
}

void Operation::start() {
  bool run;
  {
    std::lock_guard lock(mutex_);
    if (finished_ || executing_) return;
    run = !cancelled_;
    executing_ = run;
  }
  if (run) {
    main();
    if (isAsynchronous()) return;
  }
  finish();
}

void Operation::finish() {
  std::function<void()> completion;
  std::vector<std::function<void()>> observers;
  {
    std::lock_guard lock(mutex_);
    if (finished_) return;
    executing_ = false;
    finished_ = true;
    completion.swap(completion_);
    observers.swap(finishObservers_);
  }
  finishedCv_.notify_all();
  if (completion) completion();
  for (auto& observer : observers) observer();
}

void Operation::waitUntilFinished() {
  std::unique_lock lock(mutex_);
  finishedCv_.wait(lock, [&] { return finished_; });
}

}  // namespace dispatch
