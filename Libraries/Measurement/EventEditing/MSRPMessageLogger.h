// The module "internal.logger": a function value over a log sink.
//
// Calling the logger itself gives undefined (its arguments not evaluated).
// Its properties are the log functions, all on the same sink:
//   log(message) or log(level, message, context...)  printed and recorded
//   silent.log(...)                                  recorded, not printed
//   unmonitored.log(...)                             printed, not recorded
// "silent" and "unmonitored" called directly give themselves and log
// nothing.
//
// "log" needs at least one argument (error 9). One: its text at level 4
// (information) with no context. More: the level is the first value's
// number truncated toward zero and saturated to 64 bits (NaN 0, so a
// program's bad level can never be an undefined conversion), the message
// the second's text, the context the texts of the third to fifth; later
// ones are ignored. A failing conversion logs nothing.
#pragma once

#include <memory>

#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPLoggerDelegate.h"

class MSRPMessageLogger final : public MSRPFunctionValue {
 public:
  explicit MSRPMessageLogger(std::shared_ptr<MSRPLoggerDelegate> logger);

  const std::shared_ptr<MSRPLoggerDelegate>& logger() const { return logger_; }

  MSRPValueRef invokeWithArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                   ns::Error& error) override;

 private:
  std::shared_ptr<MSRPLoggerDelegate> logger_;
};

class MSRPFunctionLog final : public MSRPFunctionValue {
 public:
  MSRPFunctionLog(std::shared_ptr<MSRPLoggerDelegate> logger, bool silent, bool monitored);

  MSRPValueRef invokeWithArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                   ns::Error& error) override;

 private:
  bool silent_;
  bool monitored_;
  std::shared_ptr<MSRPLoggerDelegate> logger_;
};

// "silent" and "unmonitored": each carries its own "log".
class MSRPFunctionLogSilent final : public MSRPFunctionValue {
 public:
  explicit MSRPFunctionLogSilent(std::shared_ptr<MSRPLoggerDelegate> logger);

  MSRPValueRef invokeWithArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                   ns::Error& error) override;
};

class MSRPFunctionLogUnmonitored final : public MSRPFunctionValue {
 public:
  explicit MSRPFunctionLogUnmonitored(std::shared_ptr<MSRPLoggerDelegate> logger);

  MSRPValueRef invokeWithArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                   ns::Error& error) override;
};
