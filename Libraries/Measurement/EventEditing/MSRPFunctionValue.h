// A function: a name, parameter names, a body (a statement list) and the
// scope it was made in. A call runs the body in a new child of that scope,
// so functions close over the variables around their definition. The name
// is the function's string; NaN; YES. Like a map it has properties, and
// its methods are those of a map (MSRPPropertyMethods.h).
//
// Native functions derive from this class, are made with no parameters,
// no body and a new root scope, and override invokeWithArguments.
#pragma once

#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPPropertyMap.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPFunctionValue : public MSRPRuntimeValue, public MSRPHeapObject {
 public:
  MSRPFunctionValue(std::u16string functionName, std::vector<std::u16string> parameterNames, MSRPValueList statements,
                    std::shared_ptr<MSRPScope> definingScope);
  ~MSRPFunctionValue() override;

  const std::u16string& functionName() const { return functionName_; }
  const std::vector<std::u16string>& parameterNames() const { return parameterNames_; }
  const MSRPValueList& statements() const { return statements_; }
  const std::shared_ptr<MSRPScope>& definingScope() const { return definingScope_; }

  // Evaluates the arguments (statements or values) in the caller's scope,
  // left to right, stopping at the first error, then calls with them.
  virtual MSRPValueRef invokeWithArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                           ns::Error& error);
  // Binds each parameter to its argument (undefined when missing; extra
  // arguments are dropped) in a new child of the defining scope and runs
  // the body there: a return gives its data; otherwise the body's result
  // as it is (the last statement's value, a break or continue that ended
  // it, or undefined after an error). A call is one nesting level.
  virtual MSRPValueRef invokeWithEvaluatedArguments(const MSRPValueList& arguments, ns::Error& error);

  bool hasProperty(const std::u16string& name) const { return propertyMap_.hasName(name); }
  void setValue(MSRPValueRef value, const std::u16string& property) { propertyMap_.setValue(std::move(value), property); }
  MSRPValueRef valueForProperty(const std::u16string& name) const { return propertyMap_.valueForName(name); }
  void removeValueForProperty(const std::u16string& name) { propertyMap_.removeValueForName(name); }
  std::vector<std::u16string> allPropertyNames() const { return propertyMap_.allNames(); }
  MSRPPropertyMap& propertyMap() { return propertyMap_; }
  const MSRPPropertyMap& propertyMap() const { return propertyMap_; }

  std::u16string stringValueOrError(ns::Error& error) const override;
  double doubleValueOrError(ns::Error& error) const override;
  bool booleanValueOrError(ns::Error& error) const override;
  MSRPValueRef applyWithName(const std::u16string& name, const MSRPValueList& arguments,
                             const std::shared_ptr<MSRPScope>& scope, ns::Error& error) override;
  // The same function, or one of the same class whose name equals this
  // function's non-empty name.
  bool isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const override;

  const MSRPHeapObject* heapObject() const override { return this; }
  // Subclasses holding values of their own add them to both.
  void forEachReference(MSRPReferenceVisitor& visitor) const override;
  void dropReferences() override;
  std::weak_ptr<const void> weakOwner() const override { return weak_from_this(); }

 protected:
  // A native function: no parameters, no body, a new root scope.
  explicit MSRPFunctionValue(std::u16string functionName);

 private:
  std::u16string functionName_;
  std::vector<std::u16string> parameterNames_;
  MSRPValueList statements_;
  std::shared_ptr<MSRPScope> definingScope_;
  MSRPPropertyMap propertyMap_;
};
