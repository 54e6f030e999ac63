// ZEVUdederozedaruSingleOperationPromiseCache: callers that arrive while an
// operation runs share its promise; the first caller after it resolved
// starts a new one. The pending promise is forgotten on the default queue
// after the resolution, so a caller in between gets the resolved promise.
// Safe from any thread (one lock per cache).
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "Libraries/TelemetryFoundation/Promise.h"
#include "Platform/Foundation/Error.h"

template <class Value>
class ZEVUdederozedaruSingleOperationPromiseCache {
 public:
  using NewOperationHandler = std::function<Promises::Promise<Value>()>;

  // A null handler throws NSInvalidArgumentException.
  explicit ZEVUdederozedaruSingleOperationPromiseCache(NewOperationHandler newOperationHandler)
      : newOperationHandler_(std::move(newOperationHandler)), state_(std::make_shared<State>()) {
    if (!newOperationHandler_) {
      throw ns::Exception(ns::kInvalidArgumentException, "`newOperationHandler` must not be `nil`.");
    }
  }

  const NewOperationHandler& newOperationHandler() const { return newOperationHandler_; }

  Promises::Promise<Value> getExistingPendingOrCreateNewPromise() {
    std::lock_guard lock(state_->mutex);
    if (!state_->pendingPromise) {
      state_->pendingPromise = newOperationHandler_();
      // The cache may be gone by the time the operation ends.
      std::weak_ptr<State> weakState = state_;
      state_->pendingPromise->always([weakState] {
        if (auto state = weakState.lock()) {
          std::lock_guard inner(state->mutex);
          state->pendingPromise.reset();
        }
      });
    }
    return *state_->pendingPromise;
  }

  std::optional<Promises::Promise<Value>> getExistingPendingPromise() {
    std::lock_guard lock(state_->mutex);
    return state_->pendingPromise;
  }

 private:
  struct State {
    std::mutex mutex;
    std::optional<Promises::Promise<Value>> pendingPromise;
  };

  const NewOperationHandler newOperationHandler_;
  std::shared_ptr<State> state_;
};
