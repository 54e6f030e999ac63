#include "Libraries/WireMessages/tests/KindsTestMessages.h"

#include "Libraries/WireMessages/MSRPBMessageDefinition.h"
#include "Libraries/WireMessages/tests/KindsTestMessages.pb.h"

namespace {

constexpr MSRPBFieldEntry kAllKindsFields[] = {
    MSRPBSingularEntry(1, MSRPBKindBool),
    MSRPBSingularEntry(2, MSRPBKindEnum),
    MSRPBSingularEntry(3, MSRPBKindInt32),
    MSRPBSingularEntry(4, MSRPBKindUInt32),
    MSRPBSingularEntry(5, MSRPBKindInt64),
    MSRPBSingularEntry(6, MSRPBKindUInt64),
    MSRPBSingularEntry(7, MSRPBKindFloat),
    MSRPBSingularEntry(8, MSRPBKindDouble),
    MSRPBSingularEntry(9, MSRPBKindString),
    MSRPBSingularEntry(10, MSRPBKindBytes),
    MSRPBSingularEntry(11, MSRPBKindMessage, &MSRPBLeafTable),
    MSRPBRepeatedEntry(21, MSRPBKindBool, "flags"),
    MSRPBRepeatedEntry(22, MSRPBKindEnum, "states"),
    MSRPBRepeatedEntry(23, MSRPBKindInt32, "smalls"),
    MSRPBRepeatedEntry(24, MSRPBKindUInt32, "small_unsigneds"),
    MSRPBRepeatedEntry(25, MSRPBKindInt64, "larges"),
    MSRPBRepeatedEntry(26, MSRPBKindUInt64, "large_unsigneds"),
    MSRPBRepeatedEntry(27, MSRPBKindFloat, "singles"),
    MSRPBRepeatedEntry(28, MSRPBKindDouble, "reals"),
    MSRPBRepeatedEntry(29, MSRPBKindString, "texts"),
    MSRPBRepeatedEntry(30, MSRPBKindBytes, "blobs"),
    MSRPBRepeatedEntry(31, MSRPBKindMessage, "children", &MSRPBAllKindsTable),
};

constexpr MSRPBFieldEntry kLeafFields[] = {
    MSRPBSingularEntry(1, MSRPBKindInt32),
    MSRPBRepeatedEntry(2, MSRPBKindString, "names"),
};

}  // namespace

MSRPB_DEFINE_MESSAGE(AllKinds, msrpbkinds_AllKinds, kAllKindsFields)
MSRPB_DEFINE_MESSAGE(Leaf, msrpbkinds_Leaf, kLeafFields)
