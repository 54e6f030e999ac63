// Hands blocks to an executor in order, each only after the one before has
// run, so that a session's delegate calls keep their order even on a
// concurrent queue.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "Platform/Foundation/Executor.h"

namespace net::detail {

class SerialDelivery : public std::enable_shared_from_this<SerialDelivery> {
 public:
  explicit SerialDelivery(std::shared_ptr<ns::Executor> executor) : executor_(std::move(executor)) {}

  void deliver(std::function<void()> block) {
    {
      std::lock_guard lock(mutex_);
      pending_.push_back(std::move(block));
      if (running_) return;
      running_ = true;
    }
    scheduleNext();
  }

 private:
  // One turn of the executor runs what is pending, in order.
  void scheduleNext() {
    executor_->execute([self = shared_from_this()] {
      for (;;) {
        std::function<void()> block;
        {
          std::lock_guard lock(self->mutex_);
          if (self->pending_.empty()) {
            self->running_ = false;
            return;
          }
          block = std::move(self->pending_.front());
          self->pending_.pop_front();
        }
        block();
      }
    });
  }

  std::shared_ptr<ns::Executor> executor_;
  std::mutex mutex_;
  std::deque<std::function<void()>> pending_;
  bool running_ = false;
};

}  // namespace net::detail
