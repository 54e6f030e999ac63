// Reading and writing a message's fields by index (0..N-1 in the order of
// the message's table, which is not always tag order).
//
// Each accessor takes only fields of its kind: Bool a singular bool;
// Int32 a singular enum, int32 or uint32; Int64 a singular int64 or
// uint64; Double, String and Message their singular type; Array any
// repeated field. An unset singular field reads as NO, 0, 0.0 or absent; a
// set accessor makes the value when unset and overwrites it otherwise.
//
// Refusals are logged to the system log and change nothing:
//   "ProtocolBuffer message hasn't been initialized. GetBool can't be
//    performed" (with the accessor's word) for a null message;
//   "<Nano/Failure> Field type isn't a scalar BOOL. Message: Event, field
//    ID: 3" (INT32, INT64, DOUBLE, STRING, MESSAGE) for a field of another
//    kind or an index outside the message's fields;
//   "<Nano/Failure> Field type isn't REPEATED. ..." likewise for arrays.
// A message value must be of the field's message type, or it is refused
// ("<Nano/Failure> Field type isn't a scalar MESSAGE of type X. ...");
// array elements likewise ("<ERROR> Invalid object type. Message fields
// expect MSRPBEventParam. Type: MSRPBEvent"), which leaves the array empty.
//
// Getters of messages and arrays return new objects: changing them changes
// the parent only once they are set back. One thread at a time uses a
// message.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Libraries/WireMessages/NANOMessageBase.h"
#include "Platform/Foundation/Value.h"

// One element of a repeated field: a message, or for every other type an
// ns::Value (numbers as Bool, Int, UInt, Float or Double as the field's
// type is; strings as strings; bytes as data).
using MSRPBArrayElement = std::variant<ns::Value, std::shared_ptr<NANOMessageBase>>;
using MSRPBArray = std::vector<MSRPBArrayElement>;

// What the message getters make elements with: a class's
// initWithMessageInfo (null for another message's record).
using MSRPBMessageMaker = std::shared_ptr<NANOMessageBase> (*)(const MSRPBMessageInfo* info);

// YES for every repeated field; for a singular field, whether it is set.
// NO for a null message (logged) or an index outside the fields.
bool MSRPBMessageHasField(const NANOMessageBase* message, int32_t index);
// Unsets a singular field, empties a repeated one. An index outside the
// fields prints "<ERROR> Event: Cannot deallocate field 9: Unknown field".
void MSRPBMessageClearField(NANOMessageBase* message, int32_t index);

bool MSRPBMessageGetBool(const NANOMessageBase* message, int32_t index);
void MSRPBMessageSetBool(NANOMessageBase* message, int32_t index, bool value);
// An enum or uint32 reads as the int32 of its bits, and is written so.
int32_t MSRPBMessageGetInt32(const NANOMessageBase* message, int32_t index);
void MSRPBMessageSetInt32(NANOMessageBase* message, int32_t index, int32_t value);
int64_t MSRPBMessageGetInt64(const NANOMessageBase* message, int32_t index);
void MSRPBMessageSetInt64(NANOMessageBase* message, int32_t index, int64_t value);
double MSRPBMessageGetDouble(const NANOMessageBase* message, int32_t index);
void MSRPBMessageSetDouble(NANOMessageBase* message, int32_t index, double value);
// Absent when unset, and when the bytes are not UTF-8 (as the platform's
// strings cannot hold them).
std::optional<std::string> MSRPBMessageGetString(const NANOMessageBase* message, int32_t index);
// Absent clears the field; otherwise the field takes the bytes.
void MSRPBMessageSetString(NANOMessageBase* message, int32_t index, std::optional<std::string_view> value);

// The sub-message's record as the field holds it (null when unset or
// refused); MSRPBMessageGetMessage<T> is what callers use.
const MSRPBMessageInfo* MSRPBMessageGetMessageInfo(const NANOMessageBase* message, int32_t index);
// A copy of the sub-message as a T; null when unset, refused, or when T is
// another message's class.
template <class T>
std::shared_ptr<T> MSRPBMessageGetMessage(const NANOMessageBase* message, int32_t index) {
  const MSRPBMessageInfo* info = MSRPBMessageGetMessageInfo(message, index);
  return info ? T::initWithMessageInfo(info) : nullptr;
}
// Clears the field and stores a deep copy of `value`, which must be of the
// field's message type.
void MSRPBMessageSetMessage(NANOMessageBase* message, int32_t index, const NANOMessageBase& value);

// The elements of a repeated field in order (empty when there are none);
// absent when refused. Message elements are made with `maker` and left out
// when it gives null; without one they are all left out ("<ERROR> Provided
// class doesn't implement initWithMessageInfo: method. Class: (null)").
// Strings that are not UTF-8 are left out.
std::optional<MSRPBArray> MSRPBMessageGetArray(const NANOMessageBase* message, int32_t index,
                                               MSRPBMessageMaker maker = nullptr);
// The same with message elements made as T.
template <class T>
std::optional<MSRPBArray> MSRPBMessageGetArray(const NANOMessageBase* message, int32_t index) {
  return MSRPBMessageGetArray(message, index, [](const MSRPBMessageInfo* info) -> std::shared_ptr<NANOMessageBase> {
    return T::initWithMessageInfo(info);
  });
}
// Replaces the field's elements with copies of the array's. Numbers must
// be numbers (bool, integer or real values), strings strings, bytes data,
// messages messages of the field's type; one element that is not leaves
// the field empty (logged: "<ERROR> Invalid object type. Int32 fields
// expect NSNumber. Type: NSString", ...).
void MSRPBMessageSetArray(NANOMessageBase* message, int32_t index, const MSRPBArray& array);

// The element as a T, or null when it is a value or another message.
template <class T>
std::shared_ptr<T> MSRPBArrayElementMessage(const MSRPBArrayElement& element) {
  const auto* message = std::get_if<std::shared_ptr<NANOMessageBase>>(&element);
  return message ? std::dynamic_pointer_cast<T>(*message) : nullptr;
}
