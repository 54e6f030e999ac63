#include "Platform/StoreKit/AdNetwork.h"

#include <atomic>
#include <mutex>

#include "Platform/Dispatch/Queue.h"

namespace sk {

namespace {
std::atomic<size_t> registrations{0};

struct PostbackState {
  std::mutex mutex;
  std::vector<PostbackUpdate> updates;
  std::optional<ns::Error> answer;
};

PostbackState& postbackState() {
  static PostbackState state;
  return state;
}
}  // namespace

void AdNetwork::registerAppForAdNetworkAttribution() { registrations.fetch_add(1); }

size_t AdNetwork::registrationCount() { return registrations.load(); }

void AdNetwork::updatePostbackConversionValue(int64_t fineValue, const std::string& coarseValue, bool lockWindow,
                                              CompletionHandler completionHandler) {
  std::optional<ns::Error> answer;
  {
    auto& state = postbackState();
    std::lock_guard lock(state.mutex);
    state.updates.push_back(PostbackUpdate{fineValue, coarseValue, lockWindow});
    answer = state.answer;
  }
  if (!completionHandler) return;
  dispatch::Queue::global()->async(
      [completionHandler = std::move(completionHandler), answer] { completionHandler(answer); });
}

std::vector<PostbackUpdate> AdNetwork::postbackUpdates() {
  auto& state = postbackState();
  std::lock_guard lock(state.mutex);
  return state.updates;
}

void AdNetwork::setPostbackUpdateError(std::optional<ns::Error> error) {
  auto& state = postbackState();
  std::lock_guard lock(state.mutex);
  state.answer = std::move(error);
}

void AdNetwork::resetPostbackUpdates() {
  auto& state = postbackState();
  std::lock_guard lock(state.mutex);
  state.updates.clear();
  state.answer.reset();
}

}  // namespace sk
