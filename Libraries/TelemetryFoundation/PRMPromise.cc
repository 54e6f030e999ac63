#include "Libraries/TelemetryFoundation/PRMPromise.h"

#include "Platform/Foundation/Format.h"

namespace {

// Process-wide state lives as long as the process: promises released
// during exit still leave the group.
struct DefaultQueue {
  std::mutex mutex;
  PRMPromise::QueuePtr queue = dispatch::Queue::main();
};

DefaultQueue& defaultQueue() {
  static auto* shared = new DefaultQueue;
  return *shared;
}

}  // namespace

PRMPromise::QueuePtr PRMPromise::defaultDispatchQueue() {
  auto& shared = defaultQueue();
  std::lock_guard lock(shared.mutex);
  return shared.queue;
}

void PRMPromise::setDefaultDispatchQueue(QueuePtr queue) {
  auto& shared = defaultQueue();
  std::lock_guard lock(shared.mutex);
  shared.queue = std::move(queue);
}

dispatch::Group& PRMPromise::dispatchGroup() {
  static auto* group = new dispatch::Group;
  return *group;
}

PRMPromise::Ptr PRMPromise::pendingPromise() { return std::make_shared<PRMPromise>(Passkey{}); }

PRMPromise::Ptr PRMPromise::resolvedWith(PRMObject resolution) {
  return std::make_shared<PRMPromise>(Passkey{}, std::move(resolution));
}

std::function<PRMPromise::Ptr()> PRMPromise::pending() {
  return [] { return pendingPromise(); };
}

std::function<PRMPromise::Ptr(PRMObject)> PRMPromise::resolved() {
  return [](PRMObject resolution) { return resolvedWith(std::move(resolution)); };
}

PRMPromise::PRMPromise(Passkey) { dispatchGroup().enter(); }

PRMPromise::PRMPromise(Passkey, PRMObject resolution)
    : state_(resolution.isError() ? State::Rejected : State::Fulfilled), resolution_(std::move(resolution)) {}

PRMPromise::~PRMPromise() {
  // Abandoned while pending: nobody can resolve it any more.
  if (state_ == State::Pending) dispatchGroup().leave();
}

void PRMPromise::fulfill(PRMObject value) {
  if (value.isError()) return resolve(State::Rejected, std::move(value));
  resolve(State::Fulfilled, std::move(value));
}

void PRMPromise::reject(ns::Error error) { resolve(State::Rejected, PRMObject(std::move(error))); }

void PRMPromise::resolve(State state, PRMObject resolution) {
  // Released only after the lock: their destructors may reach this promise.
  std::vector<std::shared_ptr<const void>> pendingObjects;
  Observer firstObserver;
  std::vector<Observer> moreObservers;
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::Pending) return;
    state_ = state;
    resolution_ = std::move(resolution);
    pendingObjects.swap(pendingObjects_);
    std::swap(firstObserver, firstObserver_);
    moreObservers.swap(moreObservers_);
    // Observers only schedule blocks; scheduling under the lock keeps them
    // ahead of any registration that sees the promise resolved.
    if (firstObserver.queue) schedule(firstObserver.queue, state_, resolution_, std::move(firstObserver.handler));
    for (auto& observer : moreObservers) schedule(observer.queue, state_, resolution_, std::move(observer.handler));
    dispatchGroup().leave();
  }
}

bool PRMPromise::isPending() const {
  std::lock_guard lock(mutex_);
  return state_ == State::Pending;
}

bool PRMPromise::isFulfilled() const {
  std::lock_guard lock(mutex_);
  return state_ == State::Fulfilled;
}

bool PRMPromise::isRejected() const {
  std::lock_guard lock(mutex_);
  return state_ == State::Rejected;
}

PRMObject PRMPromise::value() const {
  std::lock_guard lock(mutex_);
  return state_ == State::Fulfilled ? resolution_ : PRMObject();
}

std::optional<ns::Error> PRMPromise::error() const {
  std::lock_guard lock(mutex_);
  if (state_ != State::Rejected) return std::nullopt;
  return *resolution_.error();
}

void PRMPromise::addPendingObject(std::shared_ptr<const void> object) {
  std::lock_guard lock(mutex_);
  if (state_ == State::Pending) pendingObjects_.push_back(std::move(object));
}

void PRMPromise::schedule(const QueuePtr& queue, State state, PRMObject resolution, Handler handler) {
  dispatchGroup().enter();
  queue->async([state, resolution = std::move(resolution), handler = std::move(handler)] {
    handler(state, resolution);
    dispatchGroup().leave();
  });
}

void PRMPromise::observe(const QueuePtr& queue, Handler handler) {
  std::lock_guard lock(mutex_);
  if (state_ == State::Pending) {
    if (!firstObserver_.queue) {
      firstObserver_ = Observer{queue, std::move(handler)};
    } else {
      moreObservers_.push_back(Observer{queue, std::move(handler)});
    }
  } else {
    schedule(queue, state_, resolution_, std::move(handler));
  }
}

void PRMPromise::observeOnQueue(const QueuePtr& queue, FulfillCallback onFulfill, RejectCallback onReject) {
  observe(queue, [onFulfill = std::move(onFulfill), onReject = std::move(onReject)](State state,
                                                                                    const PRMObject& resolution) {
    if (state == State::Fulfilled) {
      if (onFulfill) onFulfill(resolution);
    } else if (onReject) {
      onReject(*resolution.error());
    }
  });
}

void PRMPromise::settle(const QueuePtr& queue, const Ptr& promise, PRMObject result) {
  if (Ptr followed = result.promise()) {
    followed->observeOnQueue(
        queue, [promise](const PRMObject& value) { promise->fulfill(value); },
        [promise](const ns::Error& error) { promise->reject(error); });
    return;
  }
  promise->fulfill(std::move(result));
}

PRMPromise::Ptr PRMPromise::chainOnQueue(const QueuePtr& queue, ChainedFulfill chainedFulfill,
                                          ChainedReject chainedReject) {
  Ptr promise = pendingPromise();
  // One handler for both outcomes: every hop of a chain pays for it.
  observe(queue, [queue, promise, chainedFulfill = std::move(chainedFulfill),
                  chainedReject = std::move(chainedReject)](State state, const PRMObject& resolution) {
    if (state == State::Fulfilled) {
      settle(queue, promise, chainedFulfill ? chainedFulfill(resolution) : resolution);
    } else {
      settle(queue, promise, chainedReject ? chainedReject(*resolution.error()) : resolution);
    }
  });
  return promise;
}

std::string PRMPromise::description() const {
  const void* address = this;
  std::lock_guard lock(mutex_);
  switch (state_) {
    case State::Fulfilled: return ns::format("<%@ %p> Fulfilled: %@", "PRMPromise", address, resolution_.description());
    case State::Rejected: return ns::format("<%@ %p> Rejected: %@", "PRMPromise", address, resolution_.description());
    case State::Pending: break;
  }
  return ns::format("<%@ %p> Pending", "PRMPromise", address);
}
