// The test messages of KindsTestMessages.proto: MSRPBAllKinds (index i < 11
// the singular field of tag i + 1, index 11 + j the repeated one of tag
// 21 + j, in the order bool, enum, int32, uint32, int64, uint64, float,
// double, string, bytes, message) and MSRPBLeaf.
#pragma once

#include "Libraries/WireMessages/MSRPBMessage.h"
#include "Libraries/WireMessages/MSRPBMessageTable.h"

MSRPB_DECLARE_MESSAGE(AllKinds)
MSRPB_DECLARE_MESSAGE(Leaf)

namespace kinds_testing {
inline constexpr int32_t kTypes[] = {MSRPBKindBool,  MSRPBKindEnum,   MSRPBKindInt32,  MSRPBKindUInt32,
                                     MSRPBKindInt64, MSRPBKindUInt64, MSRPBKindFloat,  MSRPBKindDouble,
                                     MSRPBKindString, MSRPBKindBytes, MSRPBKindMessage};
inline constexpr int32_t kRepeated = 11;  // the first repeated index
}  // namespace kinds_testing
