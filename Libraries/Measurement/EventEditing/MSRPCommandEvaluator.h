// Command evaluators: each owns a set of command codes and carries out the
// statements that name them (MSRPCommandRegistrar.h dispatches). The base
// owns no codes and answers undefined.
//
// Most evaluators are a table from code to handler, a plain function of
// the argument list, the scope and the error; MSRPTableCommandEvaluator is
// that, in one of two styles:
//   eager: the arguments are evaluated left to right (stopping at the
//          first error, which gives undefined) and the handler gets values;
//   lazy:  the handler gets the argument statements and evaluates what it
//          needs when it needs it.
// A code missing from the table gives undefined.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPCommandEvaluator {
 public:
  virtual ~MSRPCommandEvaluator() = default;

  virtual MSRPValueRef evaluateCommand(const std::u16string& command, const MSRPValueList& arguments,
                                       const std::shared_ptr<MSRPScope>& scope, ns::Error& error);
  virtual std::vector<std::u16string> allSupportedCommands() const;
};

using MSRPCommandHandler = MSRPValueRef (*)(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                            ns::Error& error);

class MSRPTableCommandEvaluator : public MSRPCommandEvaluator {
 public:
  enum class Style { Eager, Lazy };

  MSRPValueRef evaluateCommand(const std::u16string& command, const MSRPValueList& arguments,
                               const std::shared_ptr<MSRPScope>& scope, ns::Error& error) override;
  std::vector<std::u16string> allSupportedCommands() const override;

 protected:
  MSRPTableCommandEvaluator(Style style, std::unordered_map<std::u16string, MSRPCommandHandler> handlers)
      : style_(style), handlers_(std::move(handlers)) {}
  // The handler of the code, or null.
  MSRPCommandHandler handlerForCommand(const std::u16string& command) const;
  Style style() const { return style_; }

 private:
  Style style_;
  std::unordered_map<std::u16string, MSRPCommandHandler> handlers_;
};
