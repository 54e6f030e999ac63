#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPRequire.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimePlatform.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

MSRPRuntime::MSRPRuntime()
    : initScope_(std::make_shared<MSRPScope>(nullptr)),
      globalScope_(initScope_->createChildScope()),
      apiProvider_(std::make_shared<MSRPDynamicProvider>()) {
  MSRPHeapActivation activation = activateHeap();
  globalScope_->setValue(std::make_shared<MSRPRequire>(apiProvider_), u"require");
  apiProvider_->setModuleCreator([] { return std::make_shared<MSRPRuntimePlatform>(); }, u"internal.platform");
  resetInstructionCount();
}

MSRPRuntime::~MSRPRuntime() {
  std::shared_ptr<MSRPHeap> heap = initScope_->heap().shared_from_this();
  globalScope_.reset();
  initScope_.reset();
  heap->collect();
}

void MSRPRuntime::setModuleCreator(MSRPModuleCreator creator, const std::u16string& name) {
  apiProvider_->setModuleCreator(std::move(creator), name);
}

MSRPValueRef MSRPRuntime::executeStatements(const MSRPBArray& statements, ns::Error& error) {
  MSRPHeapActivation activation = activateHeap();
  MSRPValueRef result = MSRPUndefinedValue::sharedInstance();
  for (const MSRPBArrayElement& element : statements) {
    if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
    std::shared_ptr<MSRPBRuntimeEntity> entity = MSRPBArrayElementMessage<MSRPBRuntimeEntity>(element);
    if (!entity) {
      MSRPSetError(error, MSRPErrorEntityKind);
      return MSRPUndefinedValue::sharedInstance();
    }
    MSRPValueRef statement = MSRPRuntimeEntityConverter::runtimeValueFromRuntimeEntity(*entity, error);
    if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
    result = MSRPEvaluator::evaluateStatement(statement, globalScope_, error);
  }
  return MSRPHasError(error) ? MSRPUndefinedValue::sharedInstance() : result;
}

std::shared_ptr<MSRPScope> MSRPRuntime::getRunScope() { return globalScope_->createChildScope(); }

int32_t MSRPRuntime::getInstructionCount(ns::Error&) const { return initScope_->runBudget().instructionCount(); }

void MSRPRuntime::resetInstructionCount() { initScope_->runBudget().resetInstructionCount(); }
