// Waiting for several promises: all, any, race.
#include <mutex>

#include "Libraries/TelemetryFoundation/PRMAssert.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"

namespace {

using Ptr = PRMPromise::Ptr;

// The inputs of one all/any and how far they are known to be settled.
// States are final, so a cursor over the leading settled inputs makes the
// checks of all callbacks together cost one pass over the inputs.
struct Inputs {
  std::vector<Ptr> promises;
  PRMPromise::FulfillFunction fulfill;  // of the result
  PRMPromise::RejectFunction reject;
  std::mutex mutex;
  size_t settled = 0;  // promises[0, settled) passed `isSettled`
  bool someFulfilled = false;
  bool decided = false;

  // True for the one callback that first finds every input settled: it
  // decides the result; callbacks after it have nothing left to do.
  template <class Predicate>
  bool firstToFindAllSettled(Predicate isSettled) {
    std::lock_guard lock(mutex);
    if (decided) return false;
    while (settled < promises.size() && isSettled(*promises[settled])) {
      someFulfilled = someFulfilled || promises[settled]->isFulfilled();
      ++settled;
    }
    decided = settled == promises.size();
    return decided;
  }
};

PRMObject valueForArray(PRMObject value) { return value.isNull() ? PRMObject(ns::Null{}) : std::move(value); }

PRMArray values(const std::vector<Ptr>& promises) {
  PRMArray out;
  out.reserve(promises.size());
  for (const auto& promise : promises) out.push_back(valueForArray(promise->value()));
  return out;
}

// One entry per input in order: its value, or its error.
PRMArray PRMPromiseCombineValuesAndErrors(const std::vector<Ptr>& promises) {
  PRMArray out;
  out.reserve(promises.size());
  for (const auto& promise : promises) {
    if (promise->isFulfilled()) {
      out.push_back(valueForArray(promise->value()));
    } else if (auto error = promise->error()) {
      out.emplace_back(std::move(*error));
    } else {
      PRMAssertionFailure("PRMPromiseCombineValuesAndErrors", "an input is still pending");
    }
  }
  return out;
}

}  // namespace

PRMPromise::Ptr PRMPromise::all(const QueuePtr& queue, PRMArray items) {
  if (items.empty()) return resolvedWith(PRMObject::array({}));
  return async(queue, [queue, items = std::move(items)](FulfillFunction fulfill, RejectFunction reject) {
    auto inputs = std::make_shared<Inputs>();
    inputs->promises.reserve(items.size());
    for (const auto& item : items) {
      if (Ptr promise = item.promise()) {
        inputs->promises.push_back(std::move(promise));
      } else if (const ns::Error* error = item.error()) {
        reject(*error);
        return;
      } else {
        inputs->promises.push_back(resolvedWith(item));
      }
    }
    inputs->fulfill = std::move(fulfill);
    inputs->reject = std::move(reject);
    for (const auto& promise : inputs->promises) {
      promise->observe(queue, [inputs](State state, const PRMObject& resolution) {
        if (state == State::Rejected) return inputs->reject(*resolution.error());
        if (inputs->firstToFindAllSettled([](const PRMPromise& p) { return p.isFulfilled(); })) {
          inputs->fulfill(PRMObject::array(values(inputs->promises)));
        }
      });
    }
  });
}

PRMPromise::Ptr PRMPromise::all(PRMArray items) { return all(defaultDispatchQueue(), std::move(items)); }

PRMPromise::Ptr PRMPromise::any(const QueuePtr& queue, PRMArray items) {
  if (items.empty()) return resolvedWith(PRMObject::array({}));
  return async(queue, [queue, items = std::move(items)](FulfillFunction fulfill, RejectFunction reject) {
    auto inputs = std::make_shared<Inputs>();
    inputs->promises.reserve(items.size());
    for (const auto& item : items) {
      Ptr promise = item.promise();
      inputs->promises.push_back(promise ? std::move(promise) : resolvedWith(item));
    }
    inputs->fulfill = std::move(fulfill);
    inputs->reject = std::move(reject);
    for (const auto& promise : inputs->promises) {
      promise->observe(queue, [inputs](State state, const PRMObject& resolution) {
        if (!inputs->firstToFindAllSettled([](const PRMPromise& p) { return !p.isPending(); })) return;
        if (state == State::Fulfilled || inputs->someFulfilled) {
          inputs->fulfill(PRMObject::array(PRMPromiseCombineValuesAndErrors(inputs->promises)));
        } else {
          inputs->reject(*resolution.error());
        }
      });
    }
  });
}

PRMPromise::Ptr PRMPromise::any(PRMArray items) { return any(defaultDispatchQueue(), std::move(items)); }

PRMPromise::Ptr PRMPromise::race(const QueuePtr& queue, PRMArray items) {
  // Nothing could ever win a race of nobody: the promise would stay
  // pending for ever.
  if (items.empty()) throw ns::Exception(ns::kInvalidArgumentException, "race: no promises to race");
  return async(queue, [queue, items = std::move(items)](FulfillFunction fulfill, RejectFunction reject) {
    for (const auto& item : items) {
      if (!item.isPromise()) {
        fulfill(item);
        return;
      }
    }
    for (const auto& item : items) item.promise()->observeOnQueue(queue, fulfill, reject);
  });
}

PRMPromise::Ptr PRMPromise::race(PRMArray items) { return race(defaultDispatchQueue(), std::move(items)); }
