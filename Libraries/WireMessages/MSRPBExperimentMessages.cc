// The experiment and SKAdNetwork messages' field tables, in index order
// (tag order here). Times are milliseconds since 1970.
#include "Libraries/WireMessages/MSRPBExperimentMessages.h"

#include "Libraries/WireMessages/ExperimentMessages.pb.h"
#include "Libraries/WireMessages/MSRPBMessageDefinition.h"

namespace {

using namespace MSRPBTableTypes;

constexpr MSRPBFieldEntry kExperimentRequestFields[] = {
    MSRPBSingularEntry(1, kMessage, &MSRPBAppPropertyTable),
    MSRPBRepeatedEntry(2, kMessage, "client_properties", &MSRPBClientPropertyTable),
};

constexpr MSRPBFieldEntry kAppPropertyFields[] = {
    MSRPBSingularEntry(1, kString),  // platform, "ios"
    MSRPBSingularEntry(2, kString),
    MSRPBSingularEntry(3, kString),
    MSRPBSingularEntry(4, kString),  // first preferred language, lower case
    MSRPBSingularEntry(5, kString),  // main bundle identifier
    MSRPBSingularEntry(6, kBool),    // from the App Store
    MSRPBSingularEntry(7, kInt64),   // experiment library version
};

constexpr MSRPBFieldEntry kClientPropertyFields[] = {
    MSRPBSingularEntry(1, kString),  // SDK name
    MSRPBSingularEntry(2, kString),  // diversion key and SDK name, "%@-%@"
    MSRPBSingularEntry(3, kInt64),   // version
    MSRPBSingularEntry(4, kString),  // app ID
    MSRPBRepeatedEntry(5, kMessage, "custom_properties", &MSRPBCustomPropertyTable),
};

constexpr MSRPBFieldEntry kCustomPropertyFields[] = {
    MSRPBSingularEntry(1, kString),  // key
    MSRPBSingularEntry(2, kString),  // value
};

constexpr MSRPBFieldEntry kExperimentResponseFields[] = {
    MSRPBRepeatedEntry(1, kMessage, "snapshots", &MSRPBSnapshotTable),
    MSRPBRepeatedEntry(2, kMessage, "sdk_responses", &MSRPBSdkResponseTable),
};

constexpr MSRPBFieldEntry kSnapshotFields[] = {
    MSRPBSingularEntry(1, kString),  // SDK name
    MSRPBRepeatedEntry(2, kMessage, "experiments", &MSRPBExperimentTable),
};

constexpr MSRPBFieldEntry kExperimentFields[] = {
    MSRPBSingularEntry(1, kInt32),  // experiment ID
    MSRPBRepeatedEntry(2, kMessage, "flags", &MSRPBFlagTable),
};

constexpr MSRPBFieldEntry kFlagFields[] = {
    MSRPBSingularEntry(1, kString),  // name
    MSRPBSingularEntry(2, kInt64),   // integer value
    MSRPBSingularEntry(3, kString),  // string value
    MSRPBSingularEntry(4, kDouble),  // double value
    MSRPBSingularEntry(5, kBool),    // bool value
};

constexpr MSRPBFieldEntry kSdkResponseFields[] = {
    MSRPBSingularEntry(1, kString),  // SDK name
    MSRPBSingularEntry(2, kEnum),    // status
    MSRPBSingularEntry(3, kMessage, &MSRPBSnapshotTable),
};

constexpr MSRPBFieldEntry kSkAdNetworkConversionValueRequestFields[] = {
    MSRPBSingularEntry(1, kInt64),   // measurement library version
    MSRPBSingularEntry(2, kString),  // app ID
    MSRPBSingularEntry(3, kString),  // app instance ID
    MSRPBSingularEntry(4, kString),  // SKAdNetwork version
    MSRPBSingularEntry(5, kInt64),   // evaluation event time
    MSRPBSingularEntry(6, kInt64),   // last uploaded event timestamp
};

constexpr MSRPBFieldEntry kSkAdNetworkConversionValueResponseFields[] = {
    MSRPBSingularEntry(1, kEnum),    // status: 1 values set, 2 nothing to set
    MSRPBSingularEntry(2, kString),  // reported as the parameter "_skanm"
    MSRPBSingularEntry(3, kInt32),   // fine value
    MSRPBSingularEntry(4, kEnum),    // coarse value: 1 low, 2 medium, 3 high
    MSRPBSingularEntry(5, kBool),    // lock window
    MSRPBSingularEntry(6, kInt64),   // result time (expiry)
    MSRPBSingularEntry(7, kInt64),   // evaluation event time
    MSRPBSingularEntry(8, kInt64),   // backoff
};

}  // namespace

MSRPB_DEFINE_MESSAGE(ExperimentRequest, msrpb_ExperimentRequest, kExperimentRequestFields)
MSRPB_DEFINE_MESSAGE(AppProperty, msrpb_AppProperty, kAppPropertyFields)
MSRPB_DEFINE_MESSAGE(ClientProperty, msrpb_ClientProperty, kClientPropertyFields)
MSRPB_DEFINE_MESSAGE(CustomProperty, msrpb_CustomProperty, kCustomPropertyFields)
MSRPB_DEFINE_MESSAGE(ExperimentResponse, msrpb_ExperimentResponse, kExperimentResponseFields)
MSRPB_DEFINE_MESSAGE(Snapshot, msrpb_Snapshot, kSnapshotFields)
MSRPB_DEFINE_MESSAGE(Experiment, msrpb_Experiment, kExperimentFields)
MSRPB_DEFINE_MESSAGE(Flag, msrpb_Flag, kFlagFields)
MSRPB_DEFINE_MESSAGE(SdkResponse, msrpb_SdkResponse, kSdkResponseFields)
MSRPB_DEFINE_MESSAGE(SkAdNetworkConversionValueRequest, msrpb_SkAdNetworkConversionValueRequest,
                     kSkAdNetworkConversionValueRequestFields)
MSRPB_DEFINE_MESSAGE(SkAdNetworkConversionValueResponse, msrpb_SkAdNetworkConversionValueResponse,
                     kSkAdNetworkConversionValueResponseFields)
