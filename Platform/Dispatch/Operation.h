// A unit of work for an OperationQueue: runs once, can be cancelled before
// or while it runs (the body checks isCancelled()), may depend on others,
// and can be waited for.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace dispatch {

class OperationQueue;

class Operation : public std::enable_shared_from_this<Operation> {
 public:
  // An operation that runs `body`.
  static std::shared_ptr<Operation> withBlock(std::function<void()> body);

  Operation() = default;
  virtual ~Operation() = default;
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }

  void cancel();
  bool isCancelled() const;
  bool isExecuting() const;
  bool isFinished() const;
  // Every dependency finished (cancelled ones count as finished).
  bool isReady() const;

  // `other` must finish before this one starts. Add before queueing.
  void addDependency(std::shared_ptr<Operation> other);
  const std::vector<std::shared_ptr<Operation>>& dependencies() const { return dependencies_; }

  // Runs once the operation finished (cancelled or not), on its thread.
  void setCompletionBlock(std::function<void()> block);

  // Runs the operation on the calling thread: the body unless cancelled,
  // then finishes (an asynchronous operation finishes when it calls
  // finish()). A second start does nothing.
  void start();
  void waitUntilFinished();

  // An asynchronous operation's main() only starts the work; the operation
  // stays executing until the work calls finish().
  virtual bool isAsynchronous() const { return false; }

 protected:
  // The work; the default runs the block given to withBlock.
  virtual void main();
  // Marks an asynchronous operation finished; later calls do nothing.
  void finish();

 private:
  friend class OperationQueue;
  void whenFinished(std::function<void()> observer);

  std::string name_;
  std::function<void()> body_;
  std::vector<std::shared_ptr<Operation>> dependencies_;
  mutable std::mutex mutex_;
  std::condition_variable finishedCv_;
  bool cancelled_ = false;
  bool executing_ = false;
  bool finished_ = false;
  std::function<void()> completion_;
  std::vector<std::function<void()>> finishObservers_;
};

}  // namespace dispatch
