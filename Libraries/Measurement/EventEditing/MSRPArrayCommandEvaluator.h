// The methods of arrays, by name ("concat" to "unshift"): one shared
// table. A call evaluates its arguments left to right in the caller's
// scope (stopping at the first error) and hands them to the method; a name
// not in the table is error 17.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"

class MSRPArrayCommandEvaluator {
 public:
  using Handler = MSRPValueRef (*)(MSRPArrayValue& array, const MSRPValueList& arguments,
                                   const std::shared_ptr<MSRPScope>& scope, ns::Error& error);

  static MSRPArrayCommandEvaluator& sharedInstance();

  MSRPValueRef evaluateCommand(const std::u16string& name, const std::shared_ptr<MSRPArrayValue>& array,
                               const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                               ns::Error& error) const;

 private:
  MSRPArrayCommandEvaluator();
  std::unordered_map<std::u16string, Handler> handlers_;
};
