// The class of one measurement wire message, made from its table: the
// alias `MSRPB<Name>` of MSRPB_DECLARE_MESSAGE is MSRPBMessage<its table>.
//
//   auto event = MSRPBEvent::initWithBuffer(bytes);   // null: bytes are no Event
//   MSRPBMessageSetString(event.get(), 1, "_e");
//   std::optional<ns::Data> encoded = event->protoBuffer();
//
// An object owns its record and frees it when it goes. One thread at a
// time uses an object.
#pragma once

#include <memory>
#include <optional>

#include "Libraries/WireMessages/MSRPBMessageTable.h"
#include "Libraries/WireMessages/NANOMessageBase.h"

template <const MSRPBMessageTable& Table>
class MSRPBMessage final : public NANOMessageBase {
 public:
  // A null record gives a new empty message; a record of this message a
  // message holding a deep copy of it (never the record itself); a record
  // of another message null.
  static std::shared_ptr<MSRPBMessage> initWithMessageInfo(const MSRPBMessageInfo* info) {
    return adopt(MSRPBTableCopyOfRecord(Table, info));
  }
  // The message in the bytes; absent or empty data give an empty message.
  // Null when the bytes are not one (the failure is printed).
  static std::shared_ptr<MSRPBMessage> initWithBuffer(const ns::Data& data) {
    return adopt(MSRPBTableRecordFromBytes(Table, data.data(), data.size()));
  }
  static std::shared_ptr<MSRPBMessage> initWithBuffer(const std::optional<ns::Data>& data) {
    return data ? initWithBuffer(*data) : adopt(MSRPBTableRecordFromBytes(Table, nullptr, 0));
  }
  static const MSRPBMessageTable& table() { return Table; }

  ~MSRPBMessage() override { MSRPBTableDeallocMessageInfo(Table, info_); }
  MSRPBMessage(const MSRPBMessage&) = delete;
  MSRPBMessage& operator=(const MSRPBMessage&) = delete;

  const char* messageID() const override { return Table.name; }
  std::optional<ns::Data> protoBuffer() const override {
    ns::Data bytes;
    if (MSRPBTableEncode(Table, info_, &bytes) < 0) return std::nullopt;
    return bytes;
  }
  MSRPBMessageInfo* messageInfo() const override { return info_; }
  MSRPBInitMessageInfoFn initMessageInfoFn() const override { return Table.family.initMessageInfo; }
  MSRPBDeallocMessageFieldFn deallocMessageFieldFn() const override { return Table.family.deallocMessageField; }
  MSRPBCopyMessageInfoFn copyMessageInfoFn() const override { return Table.family.copyMessageInfo; }
  const MSRPBMessageTable& messageTable() const override { return Table; }

 private:
  explicit MSRPBMessage(MSRPBMessageInfo* info) : info_(info) {}
  static std::shared_ptr<MSRPBMessage> adopt(MSRPBMessageInfo* info) {
    return info ? std::shared_ptr<MSRPBMessage>(new MSRPBMessage(info)) : nullptr;
  }

  MSRPBMessageInfo* info_;
};
