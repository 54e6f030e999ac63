// Errors as typed promise code sees them.
//
// PromiseError is the typed form of the promise library's own two errors:
// as an ns::Error it has the domain "com.zorori.PRMPromises.Error", code 1
// (timedOut) or 2 (validationFailure) and no user information.
//
// Promises::Error is any error of a typed promise: what `catch_` and
// `recover` closures are given and `error()` returns. It carries the
// ns::Error; `promiseError()` tells the library's two apart. Typed closures
// report a failure by throwing a Promises::Error or a PromiseError.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "Platform/Foundation/Error.h"

namespace Promises {

enum class PromiseError : uint8_t { timedOut = 0, validationFailure = 1 };

ns::Error toNSError(PromiseError error);
// The typed form of an error of the two codes; empty for every other.
std::optional<PromiseError> promiseErrorFrom(const ns::Error& error);
// "timedOut", "validationFailure".
const char* nameOf(PromiseError error);

class Error : public std::exception {
 public:
  Error(ns::Error error);
  Error(PromiseError error);

  const ns::Error& nsError() const { return error_; }
  std::optional<PromiseError> promiseError() const { return promiseErrorFrom(error_); }
  // The PromiseError's name, or the ns::Error's description.
  std::string description() const;
  const char* what() const noexcept override { return what_.c_str(); }

  // By the ns::Error forms.
  bool operator==(const Error& other) const { return error_ == other.error_; }

 private:
  ns::Error error_;
  std::string what_;
};

}  // namespace Promises
