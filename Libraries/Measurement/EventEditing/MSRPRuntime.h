// The evaluator runtime of one loaded configuration: a root scope, a
// global scope below it that keeps every top-level definition of the
// programs, "require" (in the global scope) over a module provider that
// offers "internal.platform", and the run budget of the chain.
//
// The editing engine makes one runtime, registers its modules, runs each
// program's top-level statements once, and for every event resets the
// instruction count and calls the registered callbacks in a fresh run
// scope. Whoever runs program code of this runtime outside
// executeStatements holds an activation (activateHeap), so that what the
// code makes joins the runtime's heap. One thread at a time uses a runtime.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Libraries/Measurement/EventEditing/MSRPDynamicProvider.h"
#include "Libraries/Measurement/EventEditing/MSRPScope.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

class MSRPRuntime {
 public:
  // The evaluator's runtime version, 0: sent with the configuration fetch
  // as "runtime_version" and answered by "getVersion".
  static int64_t runtimeVersion() { return 0; }

  MSRPRuntime();
  // Frees what the runtime's programs left in cycles (MSRPHeap.h).
  ~MSRPRuntime();
  MSRPRuntime(const MSRPRuntime&) = delete;
  MSRPRuntime& operator=(const MSRPRuntime&) = delete;

  void setModuleCreator(MSRPModuleCreator creator, const std::u16string& name);
  // The creator registered under the name; empty when there is none.
  MSRPModuleCreator moduleCreatorForName(const std::u16string& name) const {
    return apiProvider_->creatorForName(name);
  }

  // Runs a program's top-level statements (RuntimeEntity messages), each
  // converted just before it runs in the global scope, and gives the last
  // one's value. A control value at top level does not stop the list; an
  // error does, including one already set when the call begins (the result
  // is then undefined). An element that is no RuntimeEntity fails with 12.
  MSRPValueRef executeStatements(const MSRPBArray& statements, ns::Error& error);

  // A new child of the global scope: names declared in one event's run
  // vanish with it, while assignments to global names stay.
  std::shared_ptr<MSRPScope> getRunScope();
  // The instructions counted since the last reset; `error` is never set
  // (the count cannot fail to read), kept for its callers.
  int32_t getInstructionCount(ns::Error& error) const;
  void resetInstructionCount();
  const std::shared_ptr<MSRPScope>& initialScope() const { return initScope_; }
  const std::shared_ptr<MSRPScope>& globalScope() const { return globalScope_; }

  // Makes the runtime's heap current on this thread while it lives.
  [[nodiscard]] MSRPHeapActivation activateHeap() const { return MSRPHeapActivation(&initScope_->heap()); }

 private:
  std::shared_ptr<MSRPScope> initScope_;
  std::shared_ptr<MSRPScope> globalScope_;
  std::shared_ptr<MSRPDynamicProvider> apiProvider_;
};
