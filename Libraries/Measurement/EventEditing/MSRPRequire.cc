#include "Libraries/Measurement/EventEditing/MSRPRequire.h"

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"

MSRPRequire::MSRPRequire(std::shared_ptr<MSRPDynamicProvider> provider)
    : MSRPFunctionValue(u"require"), provider_(std::move(provider)) {}

MSRPRequire::~MSRPRequire() {
  for (auto& [name, module] : modules_) MSRPReleaseLater(std::move(module));
}

MSRPValueRef MSRPRequire::invokeWithArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                              ns::Error& error) {
  if (!MSRPCheckArgumentCount(arguments, 1, error)) return MSRPUndefinedValue::sharedInstance();
  MSRPValueRef argument = MSRPEvaluator::evaluateStatement(arguments.front(), scope, error);
  if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
  std::u16string name = argument->stringValueOrError(error);
  if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
  if (auto cached = modules_.find(name); cached != modules_.end()) return cached->second;
  MSRPValueRef module = provider_->moduleForName(name, error);
  if (MSRPHasError(error) || !module) return MSRPUndefinedValue::sharedInstance();
  modules_.emplace(name, module);
  return module;
}

void MSRPRequire::forEachReference(MSRPReferenceVisitor& visitor) const {
  MSRPFunctionValue::forEachReference(visitor);
  for (const auto& [name, module] : modules_) MSRPVisitValue(visitor, module);
}

void MSRPRequire::dropReferences() {
  MSRPFunctionValue::dropReferences();
  for (auto& [name, module] : modules_) MSRPReleaseLater(std::move(module));
  modules_.clear();
}
