// The main run loop: the main thread's loop that serves the main queue, the
// run-loop timers (Timer) and delayed performs. A program drives it
// explicitly; every pumping call must come from the main thread (it throws
// ns::Exception otherwise).
//
// Timeouts of the pumping calls are real (steady) time, so that a test with
// a virtual clock that forgot to move it fails instead of hanging.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "Platform/Dispatch/MainThread.h"
#include "Platform/Foundation/Date.h"

namespace dispatch {

class RunLoop {
 public:
  static RunLoop& main();

  // Runs work until stop() is called (from any thread, or from a block).
  void run();
  void stop();
  // Ends a wait of runOnce at once, with nothing queued (any thread): a
  // condition that runUntil looks at changed elsewhere (the workers fell
  // idle), so it is looked at again now rather than after the wait's slice.
  void wake();

  // Runs what is ready now: due timers, then the blocks queued before this
  // call. When nothing was ready, waits up to `timeoutSeconds` for work and
  // runs that. Returns whether anything ran.
  bool runOnce(double timeoutSeconds = 0);

  // Runs work until `predicate` holds (checked before and after each piece
  // of work) or `timeoutSeconds` pass. Returns the predicate's last answer.
  bool runUntil(const std::function<bool()>& predicate, double timeoutSeconds);

  // Runs work until ns::Clock reaches `date` (the platform's "run the loop
  // for a while"). With a virtual clock, another thread may move the clock
  // there; either way it never takes longer in real time than the interval
  // from now to `date`.
  void runUntilDate(ns::Date date);

  // Runs everything ready (including what that work queued) until idle.
  // Returns the number of blocks run.
  int drain();

  // Moves the virtual clock `seconds` forward in steps, from deadline to
  // deadline, draining the loop at each: work that starts a timer of its own
  // (an animation starting the next one) sees it fire at its own time within
  // the span (a deadline less than a microsecond past its end, a rounding
  // error of the steps, counts as inside it). In real mode only drains.
  // Main thread only.
  void advanceClock(double seconds);

  // Queues a block for the loop (what the main queue does).
  void perform(std::function<void()> block);

  // Whether a block, timer or perform is waiting to run now.
  bool hasPendingWork() const;

  // How many blocks the loop has run so far, timers and performs
  // included: whatever changes the interface runs as one of them or in
  // the code that drives the loop, so a display redraws when this moved.
  uint64_t blocksRun() const;

  struct State;  // internal
 private:
  RunLoop();
  ~RunLoop();
  std::unique_ptr<State> state_;
};

}  // namespace dispatch
