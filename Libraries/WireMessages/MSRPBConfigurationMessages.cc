// The configuration messages' field tables, in index order (tag order
// here). Tags without an index are in the schema only.
#include "Libraries/WireMessages/MSRPBConfigurationMessages.h"

#include "Libraries/WireMessages/ConfigurationMessages.pb.h"
#include "Libraries/WireMessages/MSRPBMessageDefinition.h"

namespace {

using namespace MSRPBTableTypes;

constexpr MSRPBFieldEntry kMeasurementConfigFields[] = {
    MSRPBSingularEntry(1, kInt64),   // configuration version
    MSRPBSingularEntry(2, kString),  // ZMP app ID
    MSRPBSingularEntry(3, kInt32),
    MSRPBRepeatedEntry(4, kMessage, "settings", &MSRPBSettingTable),
    MSRPBRepeatedEntry(5, kMessage, "event_config", &MSRPBEventConfigTable),
    MSRPBRepeatedEntry(6, kMessage, "audiences", &MSRPBAudienceTable),
    MSRPBSingularEntry(7, kString),
    MSRPBSingularEntry(8, kBool),
    MSRPBRepeatedEntry(9, kMessage, "dynamic_event_editing", &MSRPBProgramTable),
    MSRPBRepeatedEntry(10, kMessage, "data_controls", &MSRPBDataControlTable),
    MSRPBSingularEntry(11, kString),
    MSRPBSingularEntry(12, kString),
    MSRPBSingularEntry(13, kString),
    MSRPBSingularEntry(14, kString),
    MSRPBSingularEntry(15, kMessage, &MSRPBConsentConfigTable),
};

constexpr MSRPBFieldEntry kSettingFields[] = {
    MSRPBSingularEntry(1, kString),  // flag name
    MSRPBSingularEntry(2, kString),  // flag value
};

constexpr MSRPBFieldEntry kEventConfigFields[] = {
    MSRPBSingularEntry(1, kString),  // event name
    MSRPBSingularEntry(2, kBool),
    MSRPBSingularEntry(3, kBool),
    MSRPBSingularEntry(4, kInt32),
};

constexpr MSRPBFieldEntry kDataControlFields[] = {
    MSRPBSingularEntry(1, kString),
    MSRPBRepeatedEntry(2, kMessage, "opt_out_regions", &MSRPBRegionTable),
    MSRPBSingularEntry(3, kBool),
};

constexpr MSRPBFieldEntry kRegionFields[] = {
    MSRPBSingularEntry(1, kString),
    MSRPBSingularEntry(2, kString),
};

constexpr MSRPBFieldEntry kConsentConfigFields[] = {
    MSRPBRepeatedEntry(1, kMessage, "defaults", &MSRPBConsentDefaultEntryTable),
    MSRPBRepeatedEntry(2, kMessage, "delegations", &MSRPBConsentDelegationEntryTable),
    MSRPBRepeatedEntry(3, kMessage, "core_platform_services", &MSRPBCorePlatformServiceEntryTable),
    MSRPBSingularEntry(4, kBool),
};

constexpr MSRPBFieldEntry kConsentDefaultEntryFields[] = {
    MSRPBSingularEntry(1, kEnum),
    MSRPBSingularEntry(2, kEnum),
};

constexpr MSRPBFieldEntry kConsentDelegationEntryFields[] = {
    MSRPBSingularEntry(1, kEnum),
    MSRPBSingularEntry(2, kEnum),
};

constexpr MSRPBFieldEntry kCorePlatformServiceEntryFields[] = {
    MSRPBSingularEntry(1, kString),
    MSRPBSingularEntry(2, kString),
};

constexpr MSRPBFieldEntry kAudienceFields[] = {
    MSRPBSingularEntry(1, kInt32),  // audience ID
    MSRPBRepeatedEntry(2, kMessage, "property_filters", &MSRPBPropertyFilterTable),
    MSRPBRepeatedEntry(3, kMessage, "event_filters", &MSRPBEventFilterTable),
    MSRPBSingularEntry(4, kBool),
    MSRPBSingularEntry(5, kBool),
};

constexpr MSRPBFieldEntry kEventFilterFields[] = {
    MSRPBSingularEntry(1, kInt32),   // filter ID
    MSRPBSingularEntry(2, kString),  // event name
    MSRPBRepeatedEntry(3, kMessage, "filters", &MSRPBFilterTable),  // parameter filters
    MSRPBSingularEntry(4, kBool),
    MSRPBSingularEntry(5, kMessage, &MSRPBNumberFilterTable),  // event count filter
    MSRPBSingularEntry(6, kBool),  // dynamic
    MSRPBSingularEntry(7, kBool),  // sequence
    MSRPBSingularEntry(8, kBool),  // session scoped
};

constexpr MSRPBFieldEntry kPropertyFilterFields[] = {
    MSRPBSingularEntry(1, kInt32),                       // filter ID
    MSRPBSingularEntry(2, kString),                      // property name
    MSRPBSingularEntry(3, kMessage, &MSRPBFilterTable),  // the filter
    MSRPBSingularEntry(4, kBool),                        // dynamic
    MSRPBSingularEntry(5, kBool),                        // sequence
    MSRPBSingularEntry(6, kBool),                        // session scoped
};

constexpr MSRPBFieldEntry kFilterFields[] = {
    MSRPBSingularEntry(1, kMessage, &MSRPBStringFilterTable),
    MSRPBSingularEntry(2, kMessage, &MSRPBNumberFilterTable),
    MSRPBSingularEntry(3, kBool),    // complement
    MSRPBSingularEntry(4, kString),  // parameter name
};

// Numbers to compare with travel as decimal text.
constexpr MSRPBFieldEntry kNumberFilterFields[] = {
    MSRPBSingularEntry(1, kEnum),    // comparison type
    MSRPBSingularEntry(2, kBool),    // match as float
    MSRPBSingularEntry(3, kString),  // comparison value
    MSRPBSingularEntry(4, kString),  // minimum
    MSRPBSingularEntry(5, kString),  // maximum
};

constexpr MSRPBFieldEntry kStringFilterFields[] = {
    MSRPBSingularEntry(1, kEnum),    // match type
    MSRPBSingularEntry(2, kString),  // expression
    MSRPBSingularEntry(3, kBool),    // case sensitive
    MSRPBRepeatedEntry(4, kString, "expression_list"),
};

}  // namespace

MSRPB_DEFINE_MESSAGE(MeasurementConfig, msrpb_MeasurementConfig, kMeasurementConfigFields)
MSRPB_DEFINE_MESSAGE(Setting, msrpb_Setting, kSettingFields)
MSRPB_DEFINE_MESSAGE(EventConfig, msrpb_EventConfig, kEventConfigFields)
MSRPB_DEFINE_MESSAGE(DataControl, msrpb_DataControl, kDataControlFields)
MSRPB_DEFINE_MESSAGE(Region, msrpb_Region, kRegionFields)
MSRPB_DEFINE_MESSAGE(ConsentConfig, msrpb_ConsentConfig, kConsentConfigFields)
MSRPB_DEFINE_MESSAGE(ConsentDefaultEntry, msrpb_ConsentDefaultEntry, kConsentDefaultEntryFields)
MSRPB_DEFINE_MESSAGE(ConsentDelegationEntry, msrpb_ConsentDelegationEntry, kConsentDelegationEntryFields)
MSRPB_DEFINE_MESSAGE(CorePlatformServiceEntry, msrpb_CorePlatformServiceEntry, kCorePlatformServiceEntryFields)
MSRPB_DEFINE_MESSAGE(Audience, msrpb_Audience, kAudienceFields)
MSRPB_DEFINE_MESSAGE(EventFilter, msrpb_EventFilter, kEventFilterFields)
MSRPB_DEFINE_MESSAGE(PropertyFilter, msrpb_PropertyFilter, kPropertyFilterFields)
MSRPB_DEFINE_MESSAGE(Filter, msrpb_Filter, kFilterFields)
MSRPB_DEFINE_MESSAGE(NumberFilter, msrpb_NumberFilter, kNumberFilterFields)
MSRPB_DEFINE_MESSAGE(StringFilter, msrpb_StringFilter, kStringFilterFields)
