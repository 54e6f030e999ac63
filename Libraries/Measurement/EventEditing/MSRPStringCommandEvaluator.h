// The methods of strings, by name ("charAt" to "trim"): one shared table.
// Lengths, positions and characters count UTF-16 code units. A call
// evaluates its arguments left to right in the caller's scope (stopping at
// the first error) and hands them to the method; a name not in the table
// is error 17, a wrong argument count error 9, each with undefined.
//
// Departures from the script language these programs are written in:
// "indexOf" and "lastIndexOf" never find an empty text; "match" takes its
// argument as an ICU pattern and gives only the whole first match;
// "replace" replaces the first literal occurrence only, with no "$"
// patterns; "slice", "substring" and "charAt" read undefined as 0.
//
// Every string a method makes is checked against the string cap and the
// run's allowance first (error 20, MSRPRunBudget.h). A regular expression
// that does not compile, or whose search passes MSRPRegularExpressionLimit,
// fails the call with the platform's regular-expression error.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Platform/Foundation/RegularExpression.h"

// What one "match" or "search" may do: a pattern backtracking without end
// on a long text stops here rather than holding the worker queue. ICU
// counts the limit in units of a fixed number of engine steps, never in
// time, so a search stops at the same point on any machine; a linear
// search of the longest string stays well inside it.
inline constexpr ns::RegularExpression::MatchLimit MSRPRegularExpressionLimit{1000, 1 << 20};

class MSRPStringCommandEvaluator {
 public:
  using Handler = MSRPValueRef (*)(const std::shared_ptr<MSRPStringValue>& receiver, const MSRPValueList& arguments,
                                   const std::shared_ptr<MSRPScope>& scope, ns::Error& error);

  static MSRPStringCommandEvaluator& sharedInstance();

  MSRPValueRef evaluateCommand(const std::u16string& name, const std::shared_ptr<MSRPStringValue>& receiver,
                               const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                               ns::Error& error) const;

 private:
  MSRPStringCommandEvaluator();
  std::unordered_map<std::u16string, Handler> handlers_;
};
