#include "Libraries/Measurement/EventEditing/MSRPEventEditing.h"

#include <mutex>

#include "Libraries/Measurement/EventEditing/MSRPControlValue.h"
#include "Libraries/Measurement/EventEditing/MSRPEditingFunctions.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/testing/MSRPEventEditingTesting.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

// Programs' fields by index.
constexpr int32_t kProgramInstructions = 0;
constexpr int32_t kProgramActivities = 1;
constexpr int32_t kActivitiesList = 0;
constexpr int32_t kActivityName = 0;
constexpr int32_t kActivityData = 1;

struct LoadObserver {
  std::mutex mutex;
  std::function<void(const MSRPBProgram&)> function;
};

LoadObserver& loadObserver() {
  static LoadObserver* instance = new LoadObserver();
  return *instance;
}

void notifyLoadObserver(const MSRPBProgram& program) {
  std::lock_guard lock(loadObserver().mutex);
  if (loadObserver().function) loadObserver().function(program);
}

}  // namespace

MSRPEventEditing::MSRPEventEditing() : MSRPEventEditing(std::make_unique<MSRPRuntime>()) {}

MSRPEventEditing::MSRPEventEditing(std::unique_ptr<MSRPRuntime> runtime)
    : runtime_(std::move(runtime)),
      eventContext_(std::make_shared<MSRPEventContext>()),
      callbackHandler_(std::make_shared<MSRPEditingCallbackHandler>()) {
  std::shared_ptr<MSRPEditingCallbackHandler> handler = callbackHandler_;
  runtime_->setModuleCreator([handler] { return std::make_shared<MSRPRegisterCallbackNativeFunctionValue>(handler); },
                             u"internal.registerCallback");
  std::shared_ptr<MSRPEventContext> context = eventContext_;
  runtime_->setModuleCreator([context] { return std::make_shared<MSRPEventLogger>(context); },
                             u"internal.eventLogger");
}

MSRPEventEditing::~MSRPEventEditing() {
  // The callbacks hold the global scope, which holds "require", its
  // modules and through them the callback handler: a ring that only
  // letting go of the callbacks opens. The runtime then frees the rest.
  {
    MSRPHeapActivation activation = runtime_->activateHeap();
    callbackHandler_->removeAllCallbacks();
  }
  runtime_.reset();
}

void MSRPEventEditing::setModuleCreator(MSRPModuleCreator creator, const std::u16string& name) {
  runtime_->setModuleCreator(std::move(creator), name);
}

void MSRPEventEditing::loadProgram(const MSRPBProgram& program, ns::Error& error) {
  notifyLoadObserver(program);
  runtime_->resetInstructionCount();
  std::optional<MSRPBArray> instructions = MSRPBMessageGetArray<MSRPBRuntimeEntity>(&program, kProgramInstructions);
  MSRPValueRef result = runtime_->executeStatements(instructions.value_or(MSRPBArray()), error);
  if (MSRPHasError(error)) return;
  if (MSRPValueIs<MSRPControlValue>(*result)) {
    MSRPSetEditingError(error, MSRPEditingErrorControlValueAtTopLevel);
    return;
  }
  auto activities = MSRPBMessageGetMessage<MSRPBOgtActivities>(&program, kProgramActivities);
  if (!activities) return;
  std::optional<MSRPBArray> list = MSRPBMessageGetArray<MSRPBOgtActivity>(activities.get(), kActivitiesList);
  for (const MSRPBArrayElement& element : list.value_or(MSRPBArray())) {
    auto activity = MSRPBArrayElementMessage<MSRPBOgtActivity>(element);
    if (!activity) continue;
    loadActivityData(*activity, error);
    if (MSRPHasError(error)) return;
  }
}

void MSRPEventEditing::loadActivityData(const MSRPBOgtActivity& activity, ns::Error& error) {
  std::optional<MSRPBArray> data = MSRPBMessageGetArray<MSRPBRuntimeEntity>(&activity, kActivityData);
  std::u16string name = ns::toUtf16(MSRPBMessageGetString(&activity, kActivityName).value_or(""));
  MSRPHeapActivation activation = runtime_->activateHeap();
  for (const MSRPBArrayElement& entity : data.value_or(MSRPBArray())) {
    MSRPValueRef rule = runtime_->executeStatements(MSRPBArray{entity}, error);
    if (MSRPHasError(error)) return;
    auto map = MSRPValueAs<MSRPMapValue>(rule);
    if (!map) {
      MSRPSetEditingError(error, MSRPEditingErrorRuleNotAMap);
      return;
    }
    registerRuleWithName(name, map, error);
    if (MSRPHasError(error)) return;
  }
}

void MSRPEventEditing::registerRuleWithName(const std::u16string& name, const std::shared_ptr<MSRPMapValue>& rule,
                                            ns::Error& error) {
  MSRPHeapActivation activation = runtime_->activateHeap();
  std::shared_ptr<MSRPScope> scope = runtime_->getRunScope();
  auto function = MSRPValueAs<MSRPFunctionValue>(scope->valueForName(name));
  if (!function) {
    MSRPSetEditingError(error, MSRPEditingErrorActivityNotAFunction);
    return;
  }
  function->invokeWithArguments({rule}, scope, error);
}

bool MSRPEventEditing::handleEvent(const MSRPEvent& event, ns::Error& error) {
  eventContext_->setInputEvent(event);
  runtime_->resetInstructionCount();
  {
    MSRPHeapActivation activation = runtime_->activateHeap();
    callbackHandler_->triggerCallbacksWithScope(runtime_->getRunScope(), eventContext_, error);
  }
  // What the run made and nothing keeps goes now, rather than piling up
  // in cycles (a function declared in a callback holds its call scope).
  runtime_->initialScope()->heap().collect();
  if (MSRPHasError(error)) return false;
  return !eventContext_->outputEvent().isEqualToEvent(event) || hasCreatedEvents();
}

bool MSRPEventEditing::hasEdits() const {
  return !eventContext_->outputEvent().isEqualToEvent(eventContext_->inputEvent());
}

MSRPModuleCreator MSRPEventEditingModuleCreatorForTesting(const MSRPEventEditing& engine, const std::u16string& name) {
  return engine.runtime_->moduleCreatorForName(name);
}

void MSRPEventEditingSetLoadObserverForTesting(std::function<void(const MSRPBProgram& program)> observer) {
  std::lock_guard lock(loadObserver().mutex);
  loadObserver().function = std::move(observer);
}
