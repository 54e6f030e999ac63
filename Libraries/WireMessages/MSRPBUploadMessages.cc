// The upload messages' field tables, in index order. The measurement code
// reads and writes fields by these indexes; tags fix the wire form.
#include "Libraries/WireMessages/MSRPBUploadMessages.h"

#include "Libraries/WireMessages/MSRPBMessageDefinition.h"
#include "Libraries/WireMessages/UploadMessages.pb.h"

namespace {

using namespace MSRPBTableTypes;

constexpr MSRPBFieldEntry kMeasurementBatchFields[] = {
    MSRPBRepeatedEntry(1, kMessage, "bundles", &MSRPBMeasurementBundleTable),
    MSRPBSingularEntry(7, kString),
};

// Index order is not tag order here: index 6 is tag 26 and index 20 tag 27,
// and the tags jump from index 35 on.
constexpr MSRPBFieldEntry kMeasurementBundleFields[] = {
    MSRPBSingularEntry(1, kInt32),    // 0  protocol version, 1
    MSRPBRepeatedEntry(2, kMessage, "events", &MSRPBEventTable),
    MSRPBRepeatedEntry(3, kMessage, "user_attributes", &MSRPBUserAttributeTable),
    MSRPBSingularEntry(4, kInt64),    // 3  upload time
    MSRPBSingularEntry(5, kInt64),    // 4  bundle start
    MSRPBSingularEntry(6, kInt64),    // 5  bundle end
    MSRPBSingularEntry(26, kInt64),   // 6  previous bundle start
    MSRPBSingularEntry(7, kInt64),    // 7  previous bundle end
    MSRPBSingularEntry(8, kString),   // 8  platform
    MSRPBSingularEntry(9, kString),   // 9  OS version
    MSRPBSingularEntry(10, kString),  // 10 device model
    MSRPBSingularEntry(11, kString),  // 11 user default language
    MSRPBSingularEntry(12, kInt32),   // 12 time zone offset, minutes
    MSRPBSingularEntry(13, kString),  // 13 install source
    MSRPBSingularEntry(14, kString),  // 14 app ID
    MSRPBSingularEntry(15, kInt64),
    MSRPBSingularEntry(16, kString),  // 16 app version
    MSRPBSingularEntry(17, kInt64),   // 17 library version
    MSRPBSingularEntry(18, kInt64),   // 18 library version at upload
    MSRPBSingularEntry(19, kString),  // 19 resettable device ID
    MSRPBSingularEntry(27, kString),  // 20 vendor device ID
    MSRPBSingularEntry(20, kBool),    // 21 limited ad tracking
    MSRPBSingularEntry(21, kString),  // 22 app instance ID
    MSRPBSingularEntry(22, kInt64),
    MSRPBSingularEntry(23, kInt32),   // 24 bundle sequence index
    MSRPBSingularEntry(24, kString),  // 25 monitoring data
    MSRPBSingularEntry(25, kString),  // 26 ZMP app ID
    MSRPBSingularEntry(28, kBool),
    MSRPBRepeatedEntry(29, kMessage, "audience_evaluation_results", &MSRPBAudienceLeafFilterResultTable),
    MSRPBSingularEntry(30, kString),  // 29 installation ID
    MSRPBSingularEntry(31, kInt32),   // 30 app version, major
    MSRPBSingularEntry(32, kInt32),   // 31 app version, minor
    MSRPBSingularEntry(33, kInt32),   // 32 app version, release
    MSRPBSingularEntry(34, kString),
    MSRPBSingularEntry(35, kInt64),   // 34 remote configuration version
    MSRPBSingularEntry(39, kInt32),
    MSRPBSingularEntry(41, kString),  // 36 RiVar app ID
    MSRPBRepeatedEntry(45, kUInt32, "experiment_ids"),
    MSRPBSingularEntry(47, kInt64),   // 38 checksum
    MSRPBSingularEntry(50, kString),
    MSRPBSingularEntry(52, kString),  // 40 consent signals
    MSRPBSingularEntry(53, kEnum),    // 41 tracking authorization status
    MSRPBSingularEntry(55, kBool),
    MSRPBSingularEntry(63, kString),  // 43 session stitching token
    MSRPBRepeatedEntry(64, kString, "redacted_fields"),
    MSRPBSingularEntry(65, kString),  // 45 ephemeral app instance ID
    MSRPBSingularEntry(67, kInt64),
    MSRPBSingularEntry(71, kString),
    MSRPBSingularEntry(72, kBool),
    MSRPBSingularEntry(73, kString),
    MSRPBSingularEntry(75, kString),
};

constexpr MSRPBFieldEntry kEventFields[] = {
    MSRPBRepeatedEntry(1, kMessage, "params", &MSRPBEventParamTable),
    MSRPBSingularEntry(2, kString),  // name
    MSRPBSingularEntry(3, kInt64),   // timestamp
    MSRPBSingularEntry(4, kInt64),   // previous timestamp
    MSRPBSingularEntry(5, kInt32),
};

constexpr MSRPBFieldEntry kEventParamFields[] = {
    MSRPBSingularEntry(1, kString),  // name
    MSRPBSingularEntry(2, kString),  // string value
    MSRPBSingularEntry(3, kInt64),   // integer value
    MSRPBSingularEntry(4, kFloat),
    MSRPBSingularEntry(5, kDouble),  // double value
    MSRPBRepeatedEntry(6, kMessage, "param_value", &MSRPBEventParamTable),
};

constexpr MSRPBFieldEntry kUserAttributeFields[] = {
    MSRPBSingularEntry(1, kInt64),   // timestamp
    MSRPBSingularEntry(2, kString),  // name
    MSRPBSingularEntry(3, kString),  // string value
    MSRPBSingularEntry(4, kInt64),   // integer value
    MSRPBSingularEntry(5, kFloat),
    MSRPBSingularEntry(6, kDouble),  // double value
};

constexpr MSRPBFieldEntry kAudienceLeafFilterResultFields[] = {
    MSRPBSingularEntry(1, kInt32),                        // audience ID
    MSRPBSingularEntry(2, kMessage, &MSRPBResultDataTable),  // current results
    MSRPBSingularEntry(3, kMessage, &MSRPBResultDataTable),  // previous results
    MSRPBSingularEntry(4, kBool),                         // new audience
};

constexpr MSRPBFieldEntry kResultDataFields[] = {
    MSRPBRepeatedEntry(1, kUInt64, "status"),
    MSRPBRepeatedEntry(2, kUInt64, "results"),
    MSRPBRepeatedEntry(3, kMessage, "dynamic_filter_timestamps", &MSRPBDynamicFilterResultTimestampTable),
    MSRPBRepeatedEntry(4, kMessage, "sequence_filter_timestamps", &MSRPBSequenceFilterResultTimestampTable),
};

constexpr MSRPBFieldEntry kDynamicFilterResultTimestampFields[] = {
    MSRPBSingularEntry(1, kInt32),  // filter ID
    MSRPBSingularEntry(2, kInt64),  // timestamp
};

constexpr MSRPBFieldEntry kSequenceFilterResultTimestampFields[] = {
    MSRPBSingularEntry(1, kInt32),  // filter ID
    MSRPBRepeatedEntry(2, kInt64, "eval_timestamps"),
};

}  // namespace

MSRPB_DEFINE_MESSAGE(MeasurementBatch, msrpb_MeasurementBatch, kMeasurementBatchFields)
MSRPB_DEFINE_MESSAGE(MeasurementBundle, msrpb_MeasurementBundle, kMeasurementBundleFields)
MSRPB_DEFINE_MESSAGE(Event, msrpb_Event, kEventFields)
MSRPB_DEFINE_MESSAGE(EventParam, msrpb_EventParam, kEventParamFields)
MSRPB_DEFINE_MESSAGE(UserAttribute, msrpb_UserAttribute, kUserAttributeFields)
MSRPB_DEFINE_MESSAGE(AudienceLeafFilterResult, msrpb_AudienceLeafFilterResult, kAudienceLeafFilterResultFields)
MSRPB_DEFINE_MESSAGE(ResultData, msrpb_ResultData, kResultDataFields)
MSRPB_DEFINE_MESSAGE(DynamicFilterResultTimestamp, msrpb_DynamicFilterResultTimestamp,
                     kDynamicFilterResultTimestampFields)
MSRPB_DEFINE_MESSAGE(SequenceFilterResultTimestamp, msrpb_SequenceFilterResultTimestamp,
                     kSequenceFilterResultTimestampFields)
