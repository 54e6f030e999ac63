// Conversions into and out of runtime values: a program's entity trees
// into values and statements just before they run, and native objects
// (ns::Value) both ways, which the editing functions use to hand event
// names and parameters to programs and take edited values back.
//
// Entity to value, by its kind (field 1):
//   1 a string of field 4 ("" when absent)
//   2 a number of field 6 (NaN when absent)
//   3 the shared boolean of field 5 (false when absent)
//   4 a statement named by field 3 (error 14 when absent), its arguments
//     the entities of field 2 converted in order; they stay unevaluated
//   any other kind: error 12 and undefined
// A failing argument fails the whole statement (undefined); each level of
// the tree is one nesting level.
//
// Native object to value (first match):
//   absent (nullptr) or null      the null value
//   string                        a new string
//   bool number                   the shared boolean
//   any other number              a number of its double
//   dictionary                    a new map of the converted values
//   array                         a new array of the converted elements
//   data, date                    error 13 and undefined
// A failing element or entry fails the whole conversion (undefined).
//
// Value to native object (first match):
//   the null value                absent
//   the undefined value           ""
//   a map                         dictionaryFromMapValue
//   an array                      an array of the converted elements (null
//                                 elements as ns::Null); after the first
//                                 failing element, the array so far
//   anything else                 its number when that is not NaN (as a
//                                 double: true gives 1.0, "42" gives 42.0),
//                                 else its string; statements and control
//                                 values fail (errors 4, then 5) and give ""
// Map to dictionary: each property in order, converted; a null property
// is left out; the first failure ends it with the dictionary so far.
//
// Every level of a nested object or value is one nesting level
// (MSRPNestingGuard.h): a map that holds itself fails with error 19.
// The native objects a conversion to native builds are counted first,
// against the run's allowance (MSRPRunBudget.h; a full one outside a run):
// an array holding another twice at each of 40 levels would build 2^40
// of them, and fails with error 20 before anything is built.
#pragma once

#include <optional>
#include <string_view>

#include "Libraries/Measurement/EventEditing/MSRPMapValue.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"
#include "Libraries/WireMessages/MSRPBProgramMessages.h"
#include "Platform/Foundation/Value.h"

// A RuntimeEntity's fields by index.
enum MSRPRuntimeEntityField : int32_t {
  MSRPRuntimeEntityKind = 0,
  MSRPRuntimeEntityArguments = 1,
  MSRPRuntimeEntityCommandName = 2,
  MSRPRuntimeEntityString = 3,
  MSRPRuntimeEntityBoolean = 4,
  MSRPRuntimeEntityNumber = 5,
};

// The entity kinds.
enum MSRPRuntimeEntityKindValue : int32_t {
  MSRPRuntimeEntityKindString = 1,
  MSRPRuntimeEntityKindNumber = 2,
  MSRPRuntimeEntityKindBoolean = 3,
  MSRPRuntimeEntityKindStatement = 4,
};

class MSRPRuntimeEntityConverter {
 public:
  static MSRPValueRef runtimeValueFromRuntimeEntity(const MSRPBRuntimeEntity& entity, ns::Error& error);
  static MSRPValueRef stringValueFromRuntimeEntity(const MSRPBRuntimeEntity& entity);
  static MSRPValueRef numberValueFromRuntimeEntity(const MSRPBRuntimeEntity& entity);
  static MSRPValueRef booleanValueFromRuntimeEntity(const MSRPBRuntimeEntity& entity);
  static MSRPValueRef statementValueFromRuntimeEntity(const MSRPBRuntimeEntity& entity, ns::Error& error);

  static MSRPValueRef runtimeValueFromNSObject(const ns::Value* object, ns::Error& error);
  static std::optional<ns::Value> objectFromRuntimeValue(const MSRPRuntimeValue& value, ns::Error& error);
  static ns::Dictionary dictionaryFromMapValue(const MSRPMapValue& map, ns::Error& error);
};

// The value an edited event parameter is stored as, so that a parameter
// keeps its numeric type:
//   - a new value that is not a number is stored as it is;
//   - "_syn", "_err" and "_el" store the new number as an integer;
//   - over a floating-point old value the new number is stored as it is;
//   - over an integer old value: a name beginning with "_" keeps the old
//     value (the edit has no effect), any other stores the new number as
//     an integer;
//   - over a string old value the new number is stored as its text;
//   - otherwise (no old value) the new value is stored as it is.
// A number becomes an integer by truncation, saturating at the 64-bit
// limits; NaN gives 0.
ns::Value MSRPCoerceParameterValue(std::string_view name, const ns::Value* oldValue, const ns::Value& newValue);
