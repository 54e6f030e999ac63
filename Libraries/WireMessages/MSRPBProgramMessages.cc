// The program messages' field tables, in index order (tag order here).
#include "Libraries/WireMessages/MSRPBProgramMessages.h"

#include "Libraries/WireMessages/MSRPBMessageDefinition.h"
#include "Libraries/WireMessages/ProgramMessages.pb.h"

namespace {

using namespace MSRPBTableTypes;

constexpr MSRPBFieldEntry kProgramFields[] = {
    MSRPBRepeatedEntry(1, kMessage, "instructions", &MSRPBRuntimeEntityTable),  // statements
    MSRPBSingularEntry(2, kMessage, &MSRPBOgtActivitiesTable),
};

// The entity type says which of the value fields or the children carry
// the entity.
constexpr MSRPBFieldEntry kRuntimeEntityFields[] = {
    MSRPBSingularEntry(1, kEnum),  // entity type
    MSRPBRepeatedEntry(2, kMessage, "value", &MSRPBRuntimeEntityTable),  // children
    MSRPBSingularEntry(3, kString),  // statement name
    MSRPBSingularEntry(4, kString),  // string value
    MSRPBSingularEntry(5, kBool),    // boolean value
    MSRPBSingularEntry(6, kDouble),  // number value
};

constexpr MSRPBFieldEntry kOgtActivitiesFields[] = {
    MSRPBRepeatedEntry(1, kMessage, "activities", &MSRPBOgtActivityTable),
};

constexpr MSRPBFieldEntry kOgtActivityFields[] = {
    MSRPBSingularEntry(1, kString),  // activity name
    MSRPBRepeatedEntry(2, kMessage, "data", &MSRPBRuntimeEntityTable),
};

}  // namespace

MSRPB_DEFINE_MESSAGE(Program, msrpb_Program, kProgramFields)
MSRPB_DEFINE_MESSAGE(RuntimeEntity, msrpb_RuntimeEntity, kRuntimeEntityFields)
MSRPB_DEFINE_MESSAGE(OgtActivities, msrpb_OgtActivities, kOgtActivitiesFields)
MSRPB_DEFINE_MESSAGE(OgtActivity, msrpb_OgtActivity, kOgtActivityFields)
