// The callbacks a loaded program registered, in two sets: edit callbacks,
// which change the event, and create callbacks, which log new events.
// Each set runs in ascending priority. A requested priority already taken
// in its set becomes the set's largest plus 1, so that callback runs after
// every one registered before it; priorities are 64-bit, and with at most
// 1,000 callbacks (edit and create together) they never wrap.
//
// The editing engine's errors (domain kMSRPEditingErrorDomain, no user
// information):
//   2  the options of "internal.registerCallback" have no "type"
//   3  the rule type is neither "create" nor "edit"
//   4  1,000 callbacks are already registered (tested before the type)
//   5  a program's top-level instructions end in break, continue or return
//   6  a rule entity of an activity is no map
//   7  an activity's name is not bound to a function
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPEventContext.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPMapValue.h"

inline constexpr const char* kMSRPEditingErrorDomain = "com.zorori.zmp.measurement.evaluator.editing.ErrorDomain";

enum MSRPEditingErrorCode : int64_t {
  MSRPEditingErrorNoRuleType = 2,
  MSRPEditingErrorUnknownRuleType = 3,
  MSRPEditingErrorTooManyCallbacks = 4,
  MSRPEditingErrorControlValueAtTopLevel = 5,
  MSRPEditingErrorRuleNotAMap = 6,
  MSRPEditingErrorActivityNotAFunction = 7,
};

inline void MSRPSetEditingError(ns::Error& error, int64_t code) { error = ns::Error(kMSRPEditingErrorDomain, code); }

class MSRPEditingCallbackHandler {
 public:
  static constexpr size_t kMaxCallbacks = 1000;

  // Error 4 when full, else error 3 for a type other than "create" and
  // "edit"; otherwise stores the callback.
  void registerWithPriority(int64_t priority, std::shared_ptr<MSRPFunctionValue> callback,
                            const std::u16string& ruleType, ns::Error& error);

  // Runs the edit callbacks, then the create callbacks, of the sets as they
  // are when the call begins (one registering another adds it for the next
  // event), each with one new event functions object on the context. An
  // edit callback's changes stay when it answers a code other than 2 and
  // -1; a failing one's are undone and nothing after it runs.
  void triggerCallbacksWithScope(const std::shared_ptr<MSRPScope>& scope,
                                 const std::shared_ptr<MSRPEventContext>& eventContext, ns::Error& error) const;

  // Calls the callback with the event functions: 2 after an error; a number
  // result's MSRPToInt32; -1 for any other result.
  static int32_t invokeCallbackWithScope(const std::shared_ptr<MSRPScope>& scope,
                                         const std::shared_ptr<MSRPFunctionValue>& callback,
                                         const std::shared_ptr<MSRPMapValue>& eventHandler, ns::Error& error);

  // The priorities of each set, ascending.
  std::vector<int64_t> editPriorities() const;
  std::vector<int64_t> createPriorities() const;
  // Lets go of every callback (and so of the scopes they hold).
  void removeAllCallbacks();

 private:
  using Callbacks = std::map<int64_t, std::shared_ptr<MSRPFunctionValue>>;
  static void addCallback(std::shared_ptr<MSRPFunctionValue> callback, Callbacks& callbacks, int64_t priority);

  Callbacks editCallbacks_;
  Callbacks createCallbacks_;
};
