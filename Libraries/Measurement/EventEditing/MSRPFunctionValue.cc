#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"

#include <limits>
#include <typeinfo>
#include <utility>

#include "Libraries/Measurement/EventEditing/MSRPControlValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPNestingGuard.h"
#include "Libraries/Measurement/EventEditing/MSRPPropertyMethods.h"
#include "Libraries/Measurement/EventEditing/MSRPScope.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

MSRPFunctionValue::MSRPFunctionValue(std::u16string functionName, std::vector<std::u16string> parameterNames,
                                     MSRPValueList statements, std::shared_ptr<MSRPScope> definingScope)
    : functionName_(std::move(functionName)),
      parameterNames_(std::move(parameterNames)),
      statements_(std::move(statements)),
      definingScope_(std::move(definingScope)) {
  if (!definingScope_) definingScope_ = std::make_shared<MSRPScope>(nullptr);
}

MSRPFunctionValue::MSRPFunctionValue(std::u16string functionName)
    : MSRPFunctionValue(std::move(functionName), {}, {}, nullptr) {}

MSRPFunctionValue::~MSRPFunctionValue() {
  MSRPReleaseValuesLater(statements_);
  MSRPReleaseLater(std::move(definingScope_));
}

MSRPValueRef MSRPFunctionValue::invokeWithArguments(const MSRPValueList& arguments,
                                                    const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  MSRPValueList values = MSRPEvaluateArguments(arguments, scope, error);
  if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
  return invokeWithEvaluatedArguments(values, error);
}

MSRPValueRef MSRPFunctionValue::invokeWithEvaluatedArguments(const MSRPValueList& arguments, ns::Error& error) {
  MSRPNestingGuard nesting(error);
  if (!nesting.entered()) return MSRPUndefinedValue::sharedInstance();
  // A garbage collection cannot take the scope the body runs in: this
  // frame holds it, and the caller holds the function.
  std::shared_ptr<MSRPScope> callScope = definingScope_->createChildScope();
  for (size_t i = 0; i < parameterNames_.size(); ++i) {
    callScope->addValue(i < arguments.size() ? arguments[i] : MSRPUndefinedValue::sharedInstance(),
                        parameterNames_[i]);
  }
  MSRPValueRef result = MSRPEvaluator::executeStatements(statements_, callScope, error);
  if (!MSRPHasError(error)) {
    if (auto control = MSRPValueAs<MSRPControlValue>(result); control && control->isReturn()) return control->data();
  }
  return result;
}

std::u16string MSRPFunctionValue::stringValueOrError(ns::Error&) const { return functionName_; }

double MSRPFunctionValue::doubleValueOrError(ns::Error&) const { return std::numeric_limits<double>::quiet_NaN(); }

bool MSRPFunctionValue::booleanValueOrError(ns::Error&) const { return true; }

MSRPValueRef MSRPFunctionValue::applyWithName(const std::u16string& name, const MSRPValueList& arguments,
                                              const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  return MSRPApplyPropertyMethod(*this, propertyMap_, name, arguments, scope, error);
}

bool MSRPFunctionValue::isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error&) const {
  if (this == &other) return true;
  if (typeid(*this) != typeid(other)) return false;
  return !functionName_.empty() && static_cast<const MSRPFunctionValue&>(other).functionName_ == functionName_;
}

void MSRPFunctionValue::forEachReference(MSRPReferenceVisitor& visitor) const {
  for (const MSRPValueRef& statement : statements_) MSRPVisitValue(visitor, statement);
  if (definingScope_) visitor.visit(definingScope_.get());
  propertyMap_.forEachReference(visitor);
}

void MSRPFunctionValue::dropReferences() {
  MSRPReleaseValuesLater(statements_);
  // A call after this finds an empty root to run in.
  MSRPReleaseLater(std::exchange(definingScope_, std::make_shared<MSRPScope>(nullptr)));
  propertyMap_.dropReferences();
}
