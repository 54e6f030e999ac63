// What programs reach the editing engine through. Arguments are evaluated
// in the caller's scope, left to right, stopping at the first error; each
// gives undefined unless said otherwise, also after an error.
//
// "internal.registerCallback" (ignored, callback function, options map):
//   exactly 3 (error 9); a function and a map (error 10); the options'
//   "type" (editing error 2 without it) as text is the rule type, their
//   "priority" through MSRPToInt32 the priority (1,000 without one).
// "internal.eventLogger" (name, timestamp, parameters map): exactly 3; the
//   name's text, the timestamp's MSRPToInteger saturated to 64 bits (NaN
//   0), a map (error 10) whose properties become the parameters (null ones
//   left out); the first failing conversion logs nothing.
//
// The event functions, methods of the one object each run of the
// callbacks passes them (not properties: "hasOwnProperty" answers NO):
//   getEventName()           the output event's name
//   getParamValue(name)      its parameter as a value, null when missing
//   getParams()              a new map of every parameter
//   getTimestamp()           its timestamp
//   setEventName(name)       undefined or null is error 10; the text
//                            becomes the name and is returned
//   setParamValue(name, v)   stores v as a native value (null removes the
//                            parameter) and returns v
// Any other name is a map's method.
#pragma once

#include <memory>

#include "Libraries/Measurement/EventEditing/MSRPEditingCallbackHandler.h"
#include "Libraries/Measurement/EventEditing/MSRPEventContext.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPMapValue.h"

class MSRPRegisterCallbackNativeFunctionValue final : public MSRPFunctionValue {
 public:
  explicit MSRPRegisterCallbackNativeFunctionValue(std::shared_ptr<MSRPEditingCallbackHandler> callbackHandler);
  MSRPValueRef invokeWithArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                   ns::Error& error) override;

 private:
  std::shared_ptr<MSRPEditingCallbackHandler> callbackHandler_;
};

class MSRPEventLogger final : public MSRPFunctionValue {
 public:
  explicit MSRPEventLogger(std::shared_ptr<MSRPEventContext> eventContext);
  MSRPValueRef invokeWithArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                   ns::Error& error) override;

 private:
  std::shared_ptr<MSRPEventContext> eventContext_;
};

class MSRPEventNativeFunctions final : public MSRPMapValue {
 public:
  explicit MSRPEventNativeFunctions(std::shared_ptr<MSRPEventContext> eventContext);
  MSRPValueRef applyWithName(const std::u16string& name, const MSRPValueList& arguments,
                             const std::shared_ptr<MSRPScope>& scope, ns::Error& error) override;

 private:
  std::shared_ptr<MSRPEventContext> eventContext_;
};
