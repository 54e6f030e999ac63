// One bound for every recursive walk of the evaluator: converting entity
// trees and native objects, evaluating statements, calling functions,
// comparing and converting values that hold values. Each level of such a
// walk holds a guard for as long as it runs; the levels of all walks on a
// thread add up, since they share the thread's stack. A guard that would
// go past MSRPMaxNestingDepth raises MSRPErrorNestingTooDeep instead and
// its walk returns at once.
//
// The cap: the deepest program the wire messages decode is 100 entity
// levels (MSRPBMaxNestingDepth), which must run, with room for the calls
// an event run adds. The measured stack use per level (the nesting tests
// print it) times the cap stays under half of a dispatch worker's stack
// in the sanitizer build, whose frames are the largest.
//
//   MSRPNestingGuard nesting(error);
//   if (!nesting.entered()) return MSRPUndefinedValue::sharedInstance();
#pragma once

#include <cstdint>

#include "Platform/Foundation/Error.h"

inline constexpr int32_t MSRPMaxNestingDepth = 400;

class MSRPNestingGuard {
 public:
  explicit MSRPNestingGuard(ns::Error& error);
  ~MSRPNestingGuard();
  MSRPNestingGuard(const MSRPNestingGuard&) = delete;
  MSRPNestingGuard& operator=(const MSRPNestingGuard&) = delete;

  // NO when the cap was reached: the error is set and nothing was entered.
  bool entered() const { return entered_; }

  // The levels the calling thread holds now.
  static int32_t currentDepth();

 private:
  bool entered_;
};
