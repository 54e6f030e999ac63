// How a message is defined: its field table and one MSRPB_DEFINE_MESSAGE
// line, in a .cc that includes nanopb's header of the message's .proto.
//
//   constexpr MSRPBFieldEntry kEventFields[] = {   // index order
//       MSRPBRepeatedEntry(1, MSRPBKindMessage, "params", &MSRPBEventParamTable),
//       MSRPBSingularEntry(2, MSRPBKindString),
//       ...
//   };
//   MSRPB_DEFINE_MESSAGE(Event, msrpb_Event, kEventFields)
//
// The header of the messages declares each with MSRPB_DECLARE_MESSAGE. The
// short type names of MSRPBTableTypes keep the tables readable.
#pragma once

#include <pb.h>

#include <array>
#include <cstddef>
#include <iterator>

#include "Libraries/WireMessages/MSRPBFieldLayout.h"
#include "Libraries/WireMessages/MSRPBMessage.h"

namespace MSRPBTableTypes {
constexpr int32_t kBool = MSRPBKindBool;
constexpr int32_t kEnum = MSRPBKindEnum;
constexpr int32_t kInt32 = MSRPBKindInt32;
constexpr int32_t kUInt32 = MSRPBKindUInt32;
constexpr int32_t kInt64 = MSRPBKindInt64;
constexpr int32_t kUInt64 = MSRPBKindUInt64;
constexpr int32_t kFloat = MSRPBKindFloat;
constexpr int32_t kDouble = MSRPBKindDouble;
constexpr int32_t kString = MSRPBKindString;
constexpr int32_t kMessage = MSRPBKindMessage;
constexpr int32_t kBytes = MSRPBKindBytes;
}  // namespace MSRPBTableTypes

constexpr MSRPBFieldEntry MSRPBSingularEntry(uint32_t tag, int32_t type, const MSRPBMessageTable* element = nullptr) {
  return {MSRPBKindSingular | type, tag, element, nullptr};
}

constexpr MSRPBFieldEntry MSRPBRepeatedEntry(uint32_t tag, int32_t type, const char* name,
                                             const MSRPBMessageTable* element = nullptr) {
  return {MSRPBKindRepeated | type, tag, element, name};
}

template <size_t N>
constexpr std::array<int32_t, N> MSRPBKindsOf(const MSRPBFieldEntry (&fields)[N]) {
  std::array<int32_t, N> kinds{};
  for (size_t i = 0; i < N; ++i) kinds[i] = fields[i].kind;
  return kinds;
}

#define MSRPB_DEFINE_MESSAGE(Name, Codec, Fields)                                                               \
  static constexpr auto k##Name##Kinds = MSRPBKindsOf(Fields);                                                  \
  static MSRPBLayoutCache k##Name##Layout;                                                                      \
  const MSRPBMessageTable MSRPB##Name##Table = {                                                                \
      #Name,                                                                                                    \
      &Codec##_msg,                                                                                             \
      sizeof(Codec),                                                                                            \
      Fields,                                                                                                   \
      k##Name##Kinds.data(),                                                                                    \
      static_cast<int32_t>(std::size(Fields)),                                                                  \
      {&MSRPB##Name##InitMessageInfo, &MSRPB##Name##DeallocMessageField, &MSRPB##Name##DeallocMessageInfo,      \
       &MSRPB##Name##CopyMessageInfo},                                                                          \
      &k##Name##Layout};                                                                                        \
  int MSRPB##Name##InitMessageInfo(MSRPBMessageInfo* info) {                                                    \
    return MSRPBTableInitMessageInfo(MSRPB##Name##Table, info);                                                 \
  }                                                                                                             \
  int MSRPB##Name##DeallocMessageField(MSRPBMessageInfo* info, int32_t index) {                                 \
    return MSRPBTableDeallocMessageField(MSRPB##Name##Table, info, index);                                      \
  }                                                                                                             \
  void MSRPB##Name##DeallocMessageInfo(MSRPBMessageInfo* info) {                                                \
    MSRPBTableDeallocMessageInfo(MSRPB##Name##Table, info);                                                     \
  }                                                                                                             \
  int MSRPB##Name##CopyMessageInfo(MSRPBMessageInfo** destination, const MSRPBMessageInfo* source) {            \
    return MSRPBTableCopyMessageInfo(MSRPB##Name##Table, destination, source);                                  \
  }                                                                                                             \
  int MSRPB##Name##Decode(const uint8_t* bytes, size_t length, MSRPBMessageInfo* info) {                        \
    return MSRPBTableDecode(MSRPB##Name##Table, bytes, length, info);                                           \
  }                                                                                                             \
  int64_t MSRPB##Name##Encode(const MSRPBMessageInfo* info, ns::Data* out) {                                    \
    return MSRPBTableEncode(MSRPB##Name##Table, info, out);                                                     \
  }
