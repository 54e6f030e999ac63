#include "Libraries/Measurement/EventEditing/MSRPEditingCallbackHandler.h"

#include "Libraries/Measurement/EventEditing/MSRPEditingFunctions.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"

namespace {

std::vector<int64_t> keysOf(const std::map<int64_t, std::shared_ptr<MSRPFunctionValue>>& callbacks) {
  std::vector<int64_t> keys;
  for (const auto& [priority, callback] : callbacks) keys.push_back(priority);
  return keys;
}

std::vector<std::shared_ptr<MSRPFunctionValue>> valuesOf(
    const std::map<int64_t, std::shared_ptr<MSRPFunctionValue>>& callbacks) {
  std::vector<std::shared_ptr<MSRPFunctionValue>> values;
  for (const auto& [priority, callback] : callbacks) values.push_back(callback);
  return values;
}

}  // namespace

void MSRPEditingCallbackHandler::registerWithPriority(int64_t priority, std::shared_ptr<MSRPFunctionValue> callback,
                                                      const std::u16string& ruleType, ns::Error& error) {
  if (editCallbacks_.size() + createCallbacks_.size() >= kMaxCallbacks) {
    MSRPSetEditingError(error, MSRPEditingErrorTooManyCallbacks);
    return;
  }
  if (ruleType == u"create") {
    addCallback(std::move(callback), createCallbacks_, priority);
  } else if (ruleType == u"edit") {
    addCallback(std::move(callback), editCallbacks_, priority);
  } else {
    MSRPSetEditingError(error, MSRPEditingErrorUnknownRuleType);
  }
}

void MSRPEditingCallbackHandler::addCallback(std::shared_ptr<MSRPFunctionValue> callback, Callbacks& callbacks,
                                             int64_t priority) {
  if (callbacks.contains(priority)) priority = callbacks.rbegin()->first + 1;
  callbacks.emplace(priority, std::move(callback));
}

void MSRPEditingCallbackHandler::triggerCallbacksWithScope(const std::shared_ptr<MSRPScope>& scope,
                                                           const std::shared_ptr<MSRPEventContext>& eventContext,
                                                           ns::Error& error) const {
  // Copies: a callback may register another, which must not change the
  // sets being walked.
  auto edits = valuesOf(editCallbacks_);
  auto creates = valuesOf(createCallbacks_);
  auto functions = std::make_shared<MSRPEventNativeFunctions>(eventContext);
  for (const auto& callback : edits) {
    MSRPEvent before = eventContext->outputEvent();
    int32_t code = invokeCallbackWithScope(scope, callback, functions, error);
    if (MSRPHasError(error)) {
      eventContext->setOutputEvent(std::move(before));
      return;
    }
    if (code == 2 || code == -1) eventContext->setOutputEvent(std::move(before));
  }
  for (const auto& callback : creates) {
    invokeCallbackWithScope(scope, callback, functions, error);
    if (MSRPHasError(error)) return;
  }
}

int32_t MSRPEditingCallbackHandler::invokeCallbackWithScope(const std::shared_ptr<MSRPScope>& scope,
                                                            const std::shared_ptr<MSRPFunctionValue>& callback,
                                                            const std::shared_ptr<MSRPMapValue>& eventHandler,
                                                            ns::Error& error) {
  MSRPValueRef result = callback->invokeWithArguments({eventHandler}, scope, error);
  if (MSRPHasError(error)) return 2;
  if (!MSRPValueIs<MSRPNumberValue>(*result)) return -1;
  ns::Error ignored;
  return MSRPToInt32(result->doubleValueOrError(ignored));
}

std::vector<int64_t> MSRPEditingCallbackHandler::editPriorities() const { return keysOf(editCallbacks_); }

std::vector<int64_t> MSRPEditingCallbackHandler::createPriorities() const { return keysOf(createCallbacks_); }

void MSRPEditingCallbackHandler::removeAllCallbacks() {
  Callbacks edits = std::move(editCallbacks_);
  Callbacks creates = std::move(createCallbacks_);
  editCallbacks_.clear();
  createCallbacks_.clear();
  for (auto& [priority, callback] : edits) MSRPReleaseLater(std::move(callback));
  for (auto& [priority, callback] : creates) MSRPReleaseLater(std::move(callback));
}
