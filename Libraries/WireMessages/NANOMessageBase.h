// What every measurement wire message object is, whatever its message: the
// rest of the measurement code holds messages as
// std::shared_ptr<NANOMessageBase> and reads and writes their fields by
// index through the accessors (MSRPBMessageAccessors.h).
//
// Each message class (MSRPBMessage.h) also has the two ways to make one,
// as static functions: `initWithMessageInfo(record)` and
// `initWithBuffer(data)`.
#pragma once

#include <optional>

#include "Libraries/WireMessages/MSRPBMessageInfo.h"
#include "Platform/Foundation/Value.h"

struct MSRPBMessageTable;

class NANOMessageBase {
 public:
  virtual ~NANOMessageBase() = default;

  // The encoded message; an empty message encodes to empty data. Absent
  // when encoding fails (the failure is printed).
  virtual std::optional<ns::Data> protoBuffer() const = 0;
  // The message name, e.g. "Event".
  virtual const char* messageID() const = 0;
  // The owned record, never null.
  virtual MSRPBMessageInfo* messageInfo() const = 0;
  virtual MSRPBInitMessageInfoFn initMessageInfoFn() const = 0;
  virtual MSRPBDeallocMessageFieldFn deallocMessageFieldFn() const = 0;
  virtual MSRPBCopyMessageInfoFn copyMessageInfoFn() const = 0;
  // The message's table: what the accessors check kinds and element types
  // against.
  virtual const MSRPBMessageTable& messageTable() const = 0;
};
