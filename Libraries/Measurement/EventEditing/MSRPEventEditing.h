// The event-editing engine of one configuration: it holds one program,
// which edits each measurement event before it is stored and may create
// further events from it.
//
//   MSRPEventEditing engine;
//   engine.setModuleCreator([] { return module; }, u"internal.remoteConfig");
//   ns::Error error;
//   engine.loadProgram(*program, error);     // once; a failure drops the engine
//   if (engine.handleEvent(event, error)) {  // changed, or created events
//     store(engine.eventContext().outputEvent(), engine.eventContext().eventsToLog());
//   }                                        // NO with error: store `event` as it was
//
// Loading runs the program's top-level instructions once, then each of its
// activities: every rule entity must give a map, which is passed to the
// function the activity names, and those functions register callbacks
// through "internal.registerCallback" (MSRPEditingFunctions.h). Errors are
// those of the evaluator (MSRPError.h) and of the engine
// (MSRPEditingCallbackHandler.h).
//
// Each event resets the run budget, runs the edit callbacks and then the
// create callbacks in a fresh child of the global scope, and afterwards
// frees whatever the run made that the engine's roots (the global scope,
// the modules, the callbacks) no longer reach, so that an engine handling
// events for days holds what its program keeps and no more. One thread at
// a time uses an engine; no two events run at once.
#pragma once

#include <memory>
#include <string>

#include "Libraries/Measurement/EventEditing/MSRPDynamicProvider.h"
#include "Libraries/Measurement/EventEditing/MSRPEditingCallbackHandler.h"
#include "Libraries/Measurement/EventEditing/MSRPEventContext.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"
#include "Libraries/WireMessages/MSRPBProgramMessages.h"
#include "Platform/Foundation/Error.h"

class MSRPEventEditing {
 public:
  // A new runtime of its own.
  MSRPEventEditing();
  // Registers "internal.registerCallback" and "internal.eventLogger" on
  // the runtime, which the engine owns from then on.
  explicit MSRPEventEditing(std::unique_ptr<MSRPRuntime> runtime);
  // Lets go of the callbacks, then clears the runtime, so that nothing the
  // program made outlives the engine.
  ~MSRPEventEditing();
  MSRPEventEditing(const MSRPEventEditing&) = delete;
  MSRPEventEditing& operator=(const MSRPEventEditing&) = delete;

  // The creator of the module a program requires by this name; replaces
  // any creator of the same name.
  void setModuleCreator(MSRPModuleCreator creator, const std::u16string& name);

  // Loads the program; a failure leaves its error in `error`, and what was
  // registered before it stays (the caller drops the engine).
  void loadProgram(const MSRPBProgram& program, ns::Error& error);
  // The two steps of loading one activity.
  void loadActivityData(const MSRPBOgtActivity& activity, ns::Error& error);
  void registerRuleWithName(const std::u16string& name, const std::shared_ptr<MSRPMapValue>& rule, ns::Error& error);

  // Runs the callbacks on the event: YES when the output event differs from
  // it or events were created; NO when neither, or with `error` set on a
  // failure, after which the caller keeps the event as it was.
  bool handleEvent(const MSRPEvent& event, ns::Error& error);
  // Whether the last event's output differs from its input.
  bool hasEdits() const;
  bool hasCreatedEvents() const { return !eventContext_->eventsToLog().empty(); }
  const MSRPEventContext& eventContext() const { return *eventContext_; }
  const MSRPEditingCallbackHandler& callbackHandler() const { return *callbackHandler_; }

 private:
  friend MSRPModuleCreator MSRPEventEditingModuleCreatorForTesting(const MSRPEventEditing& engine,
                                                                   const std::u16string& name);

  std::unique_ptr<MSRPRuntime> runtime_;
  std::shared_ptr<MSRPEventContext> eventContext_;
  std::shared_ptr<MSRPEditingCallbackHandler> callbackHandler_;
};
