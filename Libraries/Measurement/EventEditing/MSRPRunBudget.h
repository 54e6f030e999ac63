// What one run of a program may spend, kept by the root scope of the chain
// it runs in (MSRPScope::runBudget). Programs cannot reach it: no name
// leads to it, so no assignment or declaration of theirs can stop the
// count, and an endless loop always ends.
#pragma once

#include <cstdint>

#include "Platform/Foundation/Error.h"

// Evaluations per run: the 1,000,000th succeeds, the next one fails.
inline constexpr int32_t MSRPInstructionLimit = 1000000;

class MSRPRunBudget {
 public:
  // Counts one evaluation; at the limit raises error 18 and counts nothing.
  void countInstruction(ns::Error& error);
  int32_t instructionCount() const { return instructions_; }
  void resetInstructionCount() { instructions_ = 0; }

 private:
  int32_t instructions_ = 0;
};
