// The evaluator's errors. Every evaluator operation that can fail takes an
// `ns::Error&` out-parameter; on failure it stores an error of the domain
// below with one of the codes and no user information, and returns a
// neutral value (undefined, "", NaN or NO). Callers look at the
// out-parameter after each call and stop at the first error; a later
// failure overwrites the code. An error that is already set when an
// operation starts makes the statement steps return at once (MSRPEvaluator.h).
#pragma once

#include <cstdint>

#include "Platform/Foundation/Error.h"

inline constexpr const char* kMSRPErrorDomain = "com.zorori.zmp.measurement.evaluator.ErrorDomain";

enum MSRPErrorCode : int64_t {
  MSRPErrorAssignmentToUndeclaredName = 2,
  MSRPErrorNoBooleanConversion = 3,
  MSRPErrorNoNumberConversion = 4,
  MSRPErrorNoStringConversion = 5,
  MSRPErrorPropertyOfNullOrUndefined = 6,
  MSRPErrorMethodOfNullOrUndefined = 7,
  MSRPErrorReduceOfEmptyArray = 8,
  MSRPErrorArgumentCount = 9,
  MSRPErrorArgumentKind = 10,
  MSRPErrorArrayLength = 11,
  MSRPErrorEntityKind = 12,
  MSRPErrorNativeObject = 13,
  MSRPErrorStatementWithoutName = 14,
  MSRPErrorModuleCreatorReturnedNothing = 15,
  MSRPErrorNotIterable = 16,
  MSRPErrorNoSuchMethod = 17,
  MSRPErrorInstructionLimit = 18,
  // Nesting past MSRPMaxNestingDepth (MSRPNestingGuard.h): a tree, a
  // recursion or a value holding itself too deep for the native stack.
  MSRPErrorNestingTooDeep = 19,
  // A string, an array or a run's making past its bound (MSRPRunBudget.h),
  // raised before anything is allocated.
  MSRPErrorSizeLimit = 20,
};

// Stores a new error of the evaluator's domain with the code.
inline void MSRPSetError(ns::Error& error, int64_t code) { error = ns::Error(kMSRPErrorDomain, code); }

// Whether an operation failed: any error was stored.
inline bool MSRPHasError(const ns::Error& error) { return !error.domain().empty(); }
