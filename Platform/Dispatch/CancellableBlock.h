// A block that can be cancelled before it starts: once cancelled, running
// it does nothing. Queue it with `queue->async(block->function())`.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace dispatch {

class CancellableBlock : public std::enable_shared_from_this<CancellableBlock> {
 public:
  static std::shared_ptr<CancellableBlock> create(std::function<void()> body) {
    return std::shared_ptr<CancellableBlock>(new CancellableBlock(std::move(body)));
  }

  void cancel() { cancelled_ = true; }
  bool isCancelled() const { return cancelled_; }
  // Runs the body unless cancelled (a cancelled block never starts; one
  // already running is not stopped).
  void operator()() {
    if (!cancelled_) body_();
  }
  // A function that keeps the block alive until it ran.
  std::function<void()> function() {
    auto self = shared_from_this();
    return [self] { (*self)(); };
  }

 private:
  explicit CancellableBlock(std::function<void()> body) : body_(std::move(body)) {}
  std::function<void()> body_;
  std::atomic<bool> cancelled_{false};
};

}  // namespace dispatch
