// What one run of a program may spend, kept with the heap of the chain it
// runs in (MSRPHeap.h, reached through MSRPScope::runBudget). Programs
// cannot reach it: no name leads to it, so no assignment or declaration of
// theirs can stop the count, and an endless loop always ends.
//
// Besides evaluations a run counts what it makes: string units, array
// positions, map entries and the native objects a conversion builds. One
// string and one array also have a size of their own. Every operation that
// would go past a bound fails with error 20 before it allocates, so a
// program doubling a string or writing index 1e15 cannot exhaust memory
// while its instruction count is still small. A reset of the instruction
// count starts a new run (one event or one load) with a full allowance.
#pragma once

#include <cstddef>
#include <atomic>
#include <cstdint>
#include <memory>

#include "Platform/Foundation/Error.h"

// Evaluations per run: the 1,000,000th succeeds, the next one fails.
inline constexpr int32_t MSRPInstructionLimit = 1000000;
// UTF-16 units of one string.
inline constexpr size_t MSRPMaxStringLength = 1048576;
// Positions (holes included) of one array.
inline constexpr size_t MSRPMaxArrayLength = 1048576;
// Units a run may make in all.
inline constexpr size_t MSRPRunAllowance = size_t{32} * 1024 * 1024;
// Units one engine's strings, arrays and maps may hold alive at once. Each
// run is bounded, but values a program keeps across events (a global array
// it appends to on every event) would otherwise grow without end.
inline constexpr size_t MSRPLiveSizeCap = size_t{64} * 1024 * 1024;

// What the strings (units), arrays (positions) and maps (entries) of one
// heap's chain hold now: added when made or grown, removed when shrunk or
// freed. Values may be freed on any thread, hence atomic.
class MSRPLiveSize {
 public:
  void add(size_t units) { units_.fetch_add(units, std::memory_order_relaxed); }
  void remove(size_t units) { units_.fetch_sub(units, std::memory_order_relaxed); }
  size_t units() const { return units_.load(std::memory_order_relaxed); }

 private:
  std::atomic<size_t> units_{0};
};

// One value's share of the live size of the heap current when it was made
// (none outside a heap); given back when the value goes. A copy holds as
// much again.
class MSRPLiveCharge {
 public:
  MSRPLiveCharge();
  MSRPLiveCharge(const MSRPLiveCharge& other);
  MSRPLiveCharge& operator=(const MSRPLiveCharge& other);
  ~MSRPLiveCharge() { set(0); }

  // Now holds `units`.
  void set(size_t units) {
    if (!live_ || units == units_) return;
    if (units > units_) {
      live_->add(units - units_);
    } else {
      live_->remove(units_ - units);
    }
    units_ = units;
  }
  size_t units() const { return units_; }

 private:
  std::shared_ptr<MSRPLiveSize> live_;
  size_t units_ = 0;
};

class MSRPRunBudget {
 public:
  // Counts one evaluation; at the limit raises error 18 and counts nothing.
  void countInstruction(ns::Error& error);
  int32_t instructionCount() const { return instructions_; }
  // Starts a new run: no evaluations, nothing made.
  void resetInstructionCount() {
    instructions_ = 0;
    spent_ = 0;
  }

  // Takes `units` of the run's allowance; past it raises error 20 and
  // takes nothing.
  bool spend(size_t units, ns::Error& error);
  size_t spent() const { return spent_; }

  // The budget of the heap current on this thread (MSRPHeap.h), or null
  // when no program code runs.
  static MSRPRunBudget* current();

 private:
  int32_t instructions_ = 0;
  size_t spent_ = 0;
};

// The checks of operations that make things, against one thing's bound,
// the current run's allowance and the live size cap of its heap (none
// outside a run); NO with error 20.
// A new string of `length` units.
bool MSRPAllowString(size_t length, ns::Error& error);
// An array growing to `count` positions from `previous` (new ones count).
bool MSRPAllowArray(size_t count, size_t previous, ns::Error& error);
// `count` new map entries or native objects.
bool MSRPAllowObjects(size_t count, ns::Error& error);
