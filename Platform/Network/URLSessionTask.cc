#include "Platform/Network/URLSessionTask.h"

#include "Platform/Network/URLSession.h"
#include "Platform/Network/detail/Engine.h"
#include "Platform/Network/detail/SessionState.h"
#include "Platform/Network/detail/TaskRun.h"

namespace net {

URLSessionTask::URLSessionTask(std::shared_ptr<URLSession>, uint64_t identifier, URLRequest request)
    : identifier_(identifier), original_(request), current_(std::move(request)) {}

URLSessionTask::~URLSessionTask() {
  // A task let go of without ever running still counted as unfinished.
  if (run_ && !run_->hasEnded()) run_->session()->state().taskEnded(run_->session());
}

URLRequest URLSessionTask::currentRequest() const {
  std::lock_guard lock(mutex_);
  return current_;
}

std::optional<HTTPURLResponse> URLSessionTask::response() const {
  std::lock_guard lock(mutex_);
  return response_;
}

std::optional<ns::Error> URLSessionTask::error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

URLSessionTask::State URLSessionTask::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void URLSessionTask::resume() {
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::Suspended) return;
    state_ = State::Running;
  }
  detail::Engine::shared().post([self = shared_from_this()] { self->run_->begin(self); });
}

void URLSessionTask::cancel() {
  {
    std::lock_guard lock(mutex_);
    if (state_ == State::Canceling || state_ == State::Completed) return;
    state_ = State::Canceling;
  }
  detail::Engine::shared().post([self = shared_from_this()] { self->run_->cancel(); });
}

}  // namespace net
