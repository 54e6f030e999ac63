// The one measurement log. Every class of the measurement library reports
// its diagnostics here with a level and a numeric code; a printed line goes
// through the utilities logger (ZULLogger.h) as
//   "<version> - <DudUziroruvoza>[I-ACS034005] <message>[: <contexts>]"
//
// Levels (signed 64-bit):
//   0-2 "ERROR"   printed at the logger's level 3 (2 never printed)
//   3-5 "WARNING" printed at the logger's level 4 (5 never printed)
//   6   "NOTICE"  printed at the logger's level 5
//   7   "DEBUG"   printed at the logger's level 7
//   8+  verbose: dropped while verbose logging is off
// A line is printed only when the logger would print its mapped level. Each
// "%" of the message reaches the logger doubled, as the message is handed on
// as a format of its own.
//
// Today the monitor prints on the caller's thread and keeps no health
// sample; debug mode and verbose logging are off. The monitor's own work
// (queue, sample, switches) replaces these bodies, never the signatures.
//
// Any thread may log; the monitor never fails towards its caller.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

// What a message carries beside its text: a value (null stands for nil) or
// an error. Made implicitly from either, and from anything an ns::Value is
// made from ("text", 12, 2.5).
class MSRLogContext {
 public:
  MSRLogContext(ns::Value value) : content_(std::move(value)) {}
  MSRLogContext(ns::Error error) : content_(std::move(error)) {}
  template <class T>
    requires(std::is_constructible_v<ns::Value, T> && !std::is_same_v<std::remove_cvref_t<T>, ns::Value>)
  MSRLogContext(T&& value) : content_(ns::Value(std::forward<T>(value))) {}

  // The value, or nullptr when the context is an error.
  const ns::Value* value() const { return std::get_if<ns::Value>(&content_); }
  // The error, or nullptr when the context is a value.
  const ns::Error* error() const { return std::get_if<ns::Error>(&content_); }
  // The context as a printed line shows it: "(nil)" for null, a value's or
  // an error's description.
  std::string text() const;

 private:
  std::variant<ns::Value, ns::Error> content_;
};

class MSRMonitor {
 public:
  MSRMonitor() = default;
  virtual ~MSRMonitor() = default;
  MSRMonitor(const MSRMonitor&) = delete;
  MSRMonitor& operator=(const MSRMonitor&) = delete;

  // A message without a text prints as "(Message was nil)", an empty one as
  // "(Message was empty)".
  void logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message);
  void logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                    const MSRLogContext& context);
  void logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                    const MSRLogContext& context1, const MSRLogContext& context2);
  void logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                    const MSRLogContext& context1, const MSRLogContext& context2, const MSRLogContext& context3);
  // The form every other one ends in.
  void logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                    const std::vector<MSRLogContext>& contexts);

  bool isDebugModeEnabled() const;

  // The level's name ("ERROR", "WARNING", "NOTICE", "DEBUG"), none above 7
  // or below 0.
  static std::optional<std::string> logLevelDescriptionFromLogLevel(int64_t level);
};
