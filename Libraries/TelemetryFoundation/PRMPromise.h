// A promise: a result that arrives later, handed across dispatch queues.
//
// A promise starts pending and is resolved exactly once: fulfilled with a
// value (any PRMObject but an error) or rejected with an ns::Error. The
// first resolution wins; later ones are ignored without a report. Every
// holder shares one promise (std::shared_ptr); make them with
// pendingPromise() or resolvedWith().
//
// Callbacks never run inside fulfill(), reject() or the call that registers
// them: each is scheduled on the queue its registrant chose, runs once, and
// on a serial queue the callbacks of one promise run in registration order.
// Each promise guards its state with its own recursive lock; callbacks only
// ever run outside it, so promises may be resolved and observed from any
// thread.
//
// Every operation exists with a queue (first argument) and without one, in
// which case it reads defaultDispatchQueue() at the moment of the call
// (the main queue until changed). The results of callbacks follow one rule
// everywhere: an ns::Error rejects, a promise is followed (one level: a
// promise fulfilled with a promise object keeps that object as its value),
// anything else, null included, fulfils.
//
// The process-wide dispatchGroup() counts every pending promise and every
// scheduled callback and work: it is empty exactly when no promise is
// pending and no promise callback or work is waiting or running. A pending
// promise that is released leaves it.
//
// Intervals (delay, timeout, retry pauses) are seconds on ns::Clock, so a
// virtual clock moves them; a negative or NaN interval is no wait, and one
// too long for a 64-bit count of nanoseconds never ends.
//
// Zero-argument forms (then(), allOn(), ...) return the operation as a
// callable, for code that passes operations around; they add nothing else.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/TelemetryFoundation/PRMObject.h"
#include "Platform/Dispatch/Group.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Error.h"

// The promise library's own errors: no user information.
inline constexpr const char* PRMPromiseErrorDomain = "com.zorori.PRMPromises.Error";
enum PRMPromiseErrorCode : int64_t {
  PRMPromiseErrorCodeTimedOut = 1,
  PRMPromiseErrorCodeValidationFailure = 2,
};

class PRMPromise : public std::enable_shared_from_this<PRMPromise> {
  struct Passkey {
    explicit Passkey() = default;
  };

 public:
  using Ptr = std::shared_ptr<PRMPromise>;
  using QueuePtr = std::shared_ptr<dispatch::Queue>;

  enum class State : int64_t { Pending = 0, Fulfilled = 1, Rejected = 2 };

  // Callbacks of observation and chaining.
  using FulfillCallback = std::function<void(const PRMObject& value)>;
  using RejectCallback = std::function<void(const ns::Error& error)>;
  using ChainedFulfill = std::function<PRMObject(const PRMObject& value)>;
  using ChainedReject = std::function<PRMObject(const ns::Error& error)>;

  // Works and callbacks of the operations.
  using FulfillFunction = std::function<void(PRMObject value)>;
  using RejectFunction = std::function<void(ns::Error error)>;
  using AsyncWork = std::function<void(FulfillFunction fulfill, RejectFunction reject)>;
  using DoWork = std::function<PRMObject()>;
  using ThenWork = std::function<PRMObject(const PRMObject& value)>;
  using CatchBlock = std::function<void(const ns::Error& error)>;
  using RecoverBlock = std::function<PRMObject(const ns::Error& error)>;
  using AlwaysWork = std::function<void()>;
  using ValidatePredicate = std::function<bool(const PRMObject& value)>;
  using ReduceCombine = std::function<PRMObject(const PRMObject& partial, const PRMObject& item)>;
  using RetryWork = std::function<PRMObject()>;
  // Asked after a failed attempt with the retries left (n down to 1).
  using RetryCondition = std::function<bool(int64_t remaining, const ns::Error& error)>;

  static constexpr int64_t kDefaultRetries = 1;
  static constexpr double kDefaultRetryDelay = 1.0;

  // ----- The core -----

  static QueuePtr defaultDispatchQueue();
  static void setDefaultDispatchQueue(QueuePtr queue);
  static dispatch::Group& dispatchGroup();

  static Ptr pendingPromise();
  // Rejected when `resolution` is an error, else fulfilled with it (null
  // included; a promise object is kept as the value, not followed).
  static Ptr resolvedWith(PRMObject resolution);
  static std::function<Ptr()> pending();
  static std::function<Ptr(PRMObject)> resolved();

  PRMPromise(Passkey);
  PRMPromise(Passkey, PRMObject resolution);
  PRMPromise(const PRMPromise&) = delete;
  PRMPromise& operator=(const PRMPromise&) = delete;
  ~PRMPromise();

  // An error value rejects. A promise value is stored as it is.
  void fulfill(PRMObject value);
  void reject(ns::Error error);

  bool isPending() const;
  bool isFulfilled() const;
  bool isRejected() const;
  // Null unless fulfilled.
  PRMObject value() const;
  // Empty unless rejected.
  std::optional<ns::Error> error() const;

  // Keeps `object` alive until the promise resolves (nothing once resolved).
  void addPendingObject(std::shared_ptr<const void> object);

  // Schedules `onFulfill` or `onReject` (either may be empty) on `queue` once
  // the promise is resolved, as a member of the dispatch group.
  void observeOnQueue(const QueuePtr& queue, FulfillCallback onFulfill, RejectCallback onReject);
  // A new promise resolved with what the callbacks return for this one's
  // outcome; an empty callback passes the outcome on unchanged.
  Ptr chainOnQueue(const QueuePtr& queue, ChainedFulfill chainedFulfill, ChainedReject chainedReject);

  // "<PRMPromise 0x...> Fulfilled: <value>", "... Rejected: <error>",
  // "<PRMPromise 0x...> Pending".
  std::string description() const;

  // ----- Starting work -----

  // Runs `work` on the queue with a fulfil and a reject function; the first
  // call of either counts (a promise given to fulfil is followed). The work
  // may call them later, from any thread.
  static Ptr async(const QueuePtr& queue, AsyncWork work);
  static Ptr async(AsyncWork work);
  // Runs `work` on the queue and resolves with what it returns.
  static Ptr do_(const QueuePtr& queue, DoWork work);
  static Ptr do_(DoWork work);

  // ----- Transforming a result -----

  // On fulfilment: what `work` returns for the value. A rejection passes.
  Ptr then(const QueuePtr& queue, ThenWork work);
  Ptr then(ThenWork work);
  // On rejection: calls `block`, then rejects with the same error.
  Ptr catch_(const QueuePtr& queue, CatchBlock block);
  Ptr catch_(CatchBlock block);
  // On rejection: what `block` returns for the error. A fulfilment passes.
  Ptr recover(const QueuePtr& queue, RecoverBlock block);
  Ptr recover(RecoverBlock block);
  // Calls `work` on either outcome, then passes the outcome on.
  Ptr always(const QueuePtr& queue, AlwaysWork work);
  Ptr always(AlwaysWork work);
  // Passes a value the predicate accepts; rejects others with the
  // validation error (code 2).
  Ptr validate(const QueuePtr& queue, ValidatePredicate predicate);
  Ptr validate(ValidatePredicate predicate);
  // Folds `items` into this promise's value, one combine after another; the
  // first rejection skips the rest. With no items: this very promise.
  Ptr reduce(const QueuePtr& queue, PRMArray items, ReduceCombine combine);
  Ptr reduce(PRMArray items, ReduceCombine combine);

  // ----- Several promises -----
  // Items are promises or plain results (a plain result counts as a
  // promise resolved with it).

  // Fulfils with every value in input order ("<null>" for null) once all
  // are fulfilled; rejects with the first rejection to reach its callback,
  // or at once with the first error among the items. No items: fulfilled
  // with an empty array at once.
  static Ptr all(const QueuePtr& queue, PRMArray items);
  static Ptr all(PRMArray items);
  // Once every item is resolved: fulfils with their values and errors in
  // input order when one was fulfilled; otherwise rejects with the error of
  // the callback that first finds them all resolved.
  static Ptr any(const QueuePtr& queue, PRMArray items);
  static Ptr any(PRMArray items);
  // The first outcome; a plain item among them decides at once (the first
  // one in input order). An empty array is a programming error (throws
  // ns::Exception).
  static Ptr race(const QueuePtr& queue, PRMArray items);
  static Ptr race(PRMArray items);

  // ----- Time -----

  // A fulfilment `seconds` later; a rejection at once.
  Ptr delay(const QueuePtr& queue, double seconds);
  Ptr delay(double seconds);
  // This promise's outcome, or the time-out error (code 1) when `seconds`
  // pass first. This promise itself is never rejected by it.
  Ptr timeout(const QueuePtr& queue, double seconds);
  Ptr timeout(double seconds);
  // Runs `work` now, on the calling thread, and again on the queue after
  // `delay` seconds while it fails (an error, or a promise that rejects),
  // at most `retries` more times and while `condition` (if any) agrees.
  // Resolves with the first success or the last error.
  static Ptr retry(const QueuePtr& queue, int64_t retries, double delay, RetryCondition condition,
                   RetryWork work);
  static Ptr retry(int64_t retries, double delay, RetryCondition condition, RetryWork work);
  static Ptr retry(const QueuePtr& queue, int64_t retries, RetryWork work);
  static Ptr retry(int64_t retries, RetryWork work);
  static Ptr retry(const QueuePtr& queue, RetryWork work);
  static Ptr retry(RetryWork work);

  // ----- Completion handlers as promises -----
  // Each adapter runs `work` on the queue with a completion handler of one
  // shape and returns a promise that the handler's first call resolves: a
  // present error rejects; otherwise the value fulfils (an error object
  // rejects and a promise is followed, also in shapes without an error).
  // A work that never calls its handler leaves the promise pending.

  using Completion = std::function<void()>;                                        // null
  using ObjectCompletion = std::function<void(PRMObject object)>;                  // the object
  using ErrorCompletion = std::function<void(std::optional<ns::Error> error)>;     // null
  using ObjectOrErrorCompletion = std::function<void(PRMObject object, std::optional<ns::Error> error)>;
  using ErrorOrObjectCompletion = std::function<void(std::optional<ns::Error> error, PRMObject object)>;
  // A two-entry PRMArray of the objects, "<null>" for null.
  using TwoObjectsOrErrorCompletion =
      std::function<void(PRMObject first, PRMObject second, std::optional<ns::Error> error)>;
  // Numbers that remember they were a bool, an integer or a real.
  using BoolCompletion = std::function<void(bool value)>;
  using BoolOrErrorCompletion = std::function<void(bool value, std::optional<ns::Error> error)>;
  using IntegerCompletion = std::function<void(int64_t value)>;
  using IntegerOrErrorCompletion = std::function<void(int64_t value, std::optional<ns::Error> error)>;
  using DoubleCompletion = std::function<void(double value)>;
  using DoubleOrErrorCompletion = std::function<void(double value, std::optional<ns::Error> error)>;
  template <class Handler>
  using WrapWork = std::function<void(Handler handler)>;

  static Ptr wrapCompletion(const QueuePtr& queue, WrapWork<Completion> work);
  static Ptr wrapCompletion(WrapWork<Completion> work);
  static Ptr wrapObjectCompletion(const QueuePtr& queue, WrapWork<ObjectCompletion> work);
  static Ptr wrapObjectCompletion(WrapWork<ObjectCompletion> work);
  static Ptr wrapErrorCompletion(const QueuePtr& queue, WrapWork<ErrorCompletion> work);
  static Ptr wrapErrorCompletion(WrapWork<ErrorCompletion> work);
  static Ptr wrapObjectOrErrorCompletion(const QueuePtr& queue, WrapWork<ObjectOrErrorCompletion> work);
  static Ptr wrapObjectOrErrorCompletion(WrapWork<ObjectOrErrorCompletion> work);
  static Ptr wrapErrorOrObjectCompletion(const QueuePtr& queue, WrapWork<ErrorOrObjectCompletion> work);
  static Ptr wrapErrorOrObjectCompletion(WrapWork<ErrorOrObjectCompletion> work);
  static Ptr wrap2ObjectsOrErrorCompletion(const QueuePtr& queue, WrapWork<TwoObjectsOrErrorCompletion> work);
  static Ptr wrap2ObjectsOrErrorCompletion(WrapWork<TwoObjectsOrErrorCompletion> work);
  static Ptr wrapBoolCompletion(const QueuePtr& queue, WrapWork<BoolCompletion> work);
  static Ptr wrapBoolCompletion(WrapWork<BoolCompletion> work);
  static Ptr wrapBoolOrErrorCompletion(const QueuePtr& queue, WrapWork<BoolOrErrorCompletion> work);
  static Ptr wrapBoolOrErrorCompletion(WrapWork<BoolOrErrorCompletion> work);
  static Ptr wrapIntegerCompletion(const QueuePtr& queue, WrapWork<IntegerCompletion> work);
  static Ptr wrapIntegerCompletion(WrapWork<IntegerCompletion> work);
  static Ptr wrapIntegerOrErrorCompletion(const QueuePtr& queue, WrapWork<IntegerOrErrorCompletion> work);
  static Ptr wrapIntegerOrErrorCompletion(WrapWork<IntegerOrErrorCompletion> work);
  static Ptr wrapDoubleCompletion(const QueuePtr& queue, WrapWork<DoubleCompletion> work);
  static Ptr wrapDoubleCompletion(WrapWork<DoubleCompletion> work);
  static Ptr wrapDoubleOrErrorCompletion(const QueuePtr& queue, WrapWork<DoubleOrErrorCompletion> work);
  static Ptr wrapDoubleOrErrorCompletion(WrapWork<DoubleOrErrorCompletion> work);

  // ----- The operations as callables -----

  static std::function<Ptr(AsyncWork)> async();
  static std::function<Ptr(QueuePtr, AsyncWork)> asyncOn();
  static std::function<Ptr(QueuePtr, DoWork)> doOn();
  std::function<Ptr(ThenWork)> then();
  std::function<Ptr(QueuePtr, ThenWork)> thenOn();
  std::function<Ptr(CatchBlock)> catch_();
  std::function<Ptr(QueuePtr, CatchBlock)> catchOn();
  std::function<Ptr(RecoverBlock)> recover();
  std::function<Ptr(QueuePtr, RecoverBlock)> recoverOn();
  std::function<Ptr(AlwaysWork)> always();
  std::function<Ptr(QueuePtr, AlwaysWork)> alwaysOn();
  std::function<Ptr(ValidatePredicate)> validate();
  std::function<Ptr(QueuePtr, ValidatePredicate)> validateOn();
  std::function<Ptr(PRMArray, ReduceCombine)> reduce();
  std::function<Ptr(QueuePtr, PRMArray, ReduceCombine)> reduceOn();
  std::function<Ptr(double)> delay();
  std::function<Ptr(QueuePtr, double)> delayOn();
  std::function<Ptr(double)> timeout();
  std::function<Ptr(QueuePtr, double)> timeoutOn();
  static std::function<Ptr(PRMArray)> all();
  static std::function<Ptr(QueuePtr, PRMArray)> allOn();
  static std::function<Ptr(PRMArray)> any();
  static std::function<Ptr(QueuePtr, PRMArray)> anyOn();
  static std::function<Ptr(PRMArray)> race();
  static std::function<Ptr(QueuePtr, PRMArray)> raceOn();
  static std::function<Ptr(RetryWork)> retry();
  static std::function<Ptr(QueuePtr, RetryWork)> retryOn();
  static std::function<Ptr(int64_t, double, RetryCondition, RetryWork)> retryAgain();
  static std::function<Ptr(QueuePtr, int64_t, double, RetryCondition, RetryWork)> retryAgainOn();
  template <class Handler>
  using Wrapper = std::function<Ptr(WrapWork<Handler>)>;
  template <class Handler>
  using WrapperOn = std::function<Ptr(QueuePtr, WrapWork<Handler>)>;
  static Wrapper<Completion> wrapCompletion();
  static WrapperOn<Completion> wrapCompletionOn();
  static Wrapper<ObjectCompletion> wrapObjectCompletion();
  static WrapperOn<ObjectCompletion> wrapObjectCompletionOn();
  static Wrapper<ErrorCompletion> wrapErrorCompletion();
  static WrapperOn<ErrorCompletion> wrapErrorCompletionOn();
  static Wrapper<ObjectOrErrorCompletion> wrapObjectOrErrorCompletion();
  static WrapperOn<ObjectOrErrorCompletion> wrapObjectOrErrorCompletionOn();
  static Wrapper<ErrorOrObjectCompletion> wrapErrorOrObjectCompletion();
  static WrapperOn<ErrorOrObjectCompletion> wrapErrorOrObjectCompletionOn();
  static Wrapper<TwoObjectsOrErrorCompletion> wrap2ObjectsOrErrorCompletion();
  static WrapperOn<TwoObjectsOrErrorCompletion> wrap2ObjectsOrErrorCompletionOn();
  static Wrapper<BoolCompletion> wrapBoolCompletion();
  static WrapperOn<BoolCompletion> wrapBoolCompletionOn();
  static Wrapper<BoolOrErrorCompletion> wrapBoolOrErrorCompletion();
  static WrapperOn<BoolOrErrorCompletion> wrapBoolOrErrorCompletionOn();
  static Wrapper<IntegerCompletion> wrapIntegerCompletion();
  static WrapperOn<IntegerCompletion> wrapIntegerCompletionOn();
  static Wrapper<IntegerOrErrorCompletion> wrapIntegerOrErrorCompletion();
  static WrapperOn<IntegerOrErrorCompletion> wrapIntegerOrErrorCompletionOn();
  static Wrapper<DoubleCompletion> wrapDoubleCompletion();
  static WrapperOn<DoubleCompletion> wrapDoubleCompletionOn();
  static Wrapper<DoubleOrErrorCompletion> wrapDoubleOrErrorCompletion();
  static WrapperOn<DoubleOrErrorCompletion> wrapDoubleOrErrorCompletionOn();

 private:
  // Called once, on its queue, with the outcome.
  using Handler = std::function<void(State state, const PRMObject& resolution)>;
  struct Observer {
    QueuePtr queue;
    Handler handler;
  };

  // Resolves `promise` with a callback's result: follows a promise,
  // otherwise fulfils (an error rejects).
  static void settle(const QueuePtr& queue, const Ptr& promise, PRMObject result);
  static void schedule(const QueuePtr& queue, State state, PRMObject resolution, Handler handler);
  void observe(const QueuePtr& queue, Handler handler);
  void resolve(State state, PRMObject resolution);

  mutable std::recursive_mutex mutex_;
  State state_ = State::Pending;
  PRMObject resolution_;  // the value, or the error as a PRMObject
  std::vector<std::shared_ptr<const void>> pendingObjects_;
  // In registration order. Most promises have one observer, kept inline.
  Observer firstObserver_;  // its queue is null when there is none
  std::vector<Observer> moreObservers_;
};

// Blocks the calling thread until `promise` resolves and returns its value
// (null after a rejection), putting its error (empty after a fulfilment)
// into `error` when given. Its callbacks run on a queue of its own, so it
// may be called on the main thread while the promise's other callbacks use
// the main queue. No time limit: await only what is certain to resolve. A
// null promise stops the process.
PRMObject PRMPromiseAwait(const PRMPromise::Ptr& promise, std::optional<ns::Error>* error = nullptr);
