// The values of event-editing programs. Every value a program computes,
// stores or passes is an MSRPRuntimeValue held by a shared pointer; the
// subclasses are the undefined and null values, booleans, numbers,
// strings (UTF-16, as the platform counts), arrays, maps, functions,
// statements (unevaluated code) and control values (break, continue,
// return). Identity matters: the shared undefined, null, true, false,
// break and continue instances are compared by pointer.
//
// Each value converts to a string, a number and a boolean as its class
// says; the base refuses all three (errors 5, 4 and 3, MSRPError.h). Only
// one thread at a time uses a value.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPHeap.h"
#include "Platform/Foundation/Error.h"

class MSRPRuntimeValue;
class MSRPScope;

using MSRPValueRef = std::shared_ptr<MSRPRuntimeValue>;
// Argument lists, statement lists and array elements; never null entries.
using MSRPValueList = std::vector<MSRPValueRef>;

class MSRPRuntimeValue : public std::enable_shared_from_this<MSRPRuntimeValue> {
 public:
  virtual ~MSRPRuntimeValue();
  MSRPRuntimeValue(const MSRPRuntimeValue&) = delete;
  MSRPRuntimeValue& operator=(const MSRPRuntimeValue&) = delete;

  // Error 5 and "".
  virtual std::u16string stringValueOrError(ns::Error& error) const;
  // Error 4 and NaN.
  virtual double doubleValueOrError(ns::Error& error) const;
  // Error 3 and NO.
  virtual bool booleanValueOrError(ns::Error& error) const;

  // Calls the method `name` with argument values or statements in `scope`.
  // The base knows only "toString" (a new string of the string conversion;
  // the arguments are ignored); any other name is error 17 and undefined.
  virtual MSRPValueRef applyWithName(const std::u16string& name, const MSRPValueList& arguments,
                                     const std::shared_ptr<MSRPScope>& scope, ns::Error& error);

  // The base compares identity. Values that hold values compare what they
  // hold, one nesting level each (MSRPNestingGuard.h), so two maps holding
  // themselves end in error 19 and NO rather than overflowing the stack.
  virtual bool isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const;

  // The value as an object that can hold others (MSRPHeap.h), else null.
  virtual const MSRPHeapObject* heapObject() const { return nullptr; }

  // Values alive in the process now, so tests can see that memory
  // returns.
  static long liveCount();

 protected:
  MSRPRuntimeValue();
};

// The value as a T (class or subclass), or null.
template <class T>
std::shared_ptr<T> MSRPValueAs(const MSRPValueRef& value) {
  return std::dynamic_pointer_cast<T>(value);
}
template <class T>
bool MSRPValueIs(const MSRPRuntimeValue& value) {
  return dynamic_cast<const T*>(&value) != nullptr;
}

// A held value for a collection's walk (MSRPHeap.h).
inline void MSRPVisitValue(MSRPReferenceVisitor& visitor, const MSRPValueRef& value) {
  if (value) visitor.visit(value->heapObject());
}
// Releases every value of the list without recursing (MSRPReleaseLater).
void MSRPReleaseValuesLater(MSRPValueList& values);
