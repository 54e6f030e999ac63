#include "Platform/Dispatch/Group.h"

#include "Platform/Dispatch/detail/Wait.h"
#include "Platform/Foundation/Error.h"

namespace dispatch {

Group::Group() : state_(std::make_shared<State>()) {}

void Group::enter() {
  std::lock_guard lock(state_->mutex);
  ++state_->count;
}

void Group::leave() { leave(state_); }

void Group::leave(const std::shared_ptr<State>& shared) {
  // A woken waiter may destroy the group at once: hold the state.
  auto state = shared;
  std::vector<std::pair<std::shared_ptr<Queue>, Block>> notifies;
  {
    std::lock_guard lock(state->mutex);
    if (state->count == 0) {
      throw ns::Exception(ns::kInternalInconsistencyException, "dispatch: group left more often than entered");
    }
    if (--state->count > 0) return;
    notifies.swap(state->notifies);
    state->changed.notify_all();
  }
  for (auto& [queue, block] : notifies) queue->async(std::move(block));
}

void Group::async(const std::shared_ptr<Queue>& queue, Block block) {
  enter();
  queue->async([state = state_, block = std::move(block)] {
    block();
    leave(state);
  });
}

void Group::notify(const std::shared_ptr<Queue>& queue, Block block) {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->count > 0) {
      state_->notifies.emplace_back(queue, std::move(block));
      return;
    }
  }
  queue->async(std::move(block));
}

bool Group::wait(Time deadline) {
  std::unique_lock lock(state_->mutex);
  return detail::waitUntil(state_->changed, lock, deadline, [&] { return state_->count == 0; });
}

}  // namespace dispatch
