// The configuration messages: the remote measurement configuration
// (MSRPBMeasurementConfig) with its flag settings, per-event configuration,
// audiences and their filters, event-editing programs
// (MSRPBProgramMessages.h), data controls and consent configuration.
// Classes MSRPBMeasurementConfig, MSRPBSetting, MSRPBEventConfig,
// MSRPBDataControl, MSRPBRegion, MSRPBConsentConfig,
// MSRPBConsentDefaultEntry, MSRPBConsentDelegationEntry,
// MSRPBCorePlatformServiceEntry, MSRPBAudience, MSRPBEventFilter,
// MSRPBPropertyFilter, MSRPBFilter, MSRPBNumberFilter and
// MSRPBStringFilter, each with its coder family (MSRPBMessageTable.h).
// Their fields by index are the tables of MSRPBConfigurationMessages.cc;
// the wire form is ConfigurationMessages.proto.
//
// Two tags are read without an index and never written: MeasurementConfig's
// tag 16 must be a message of three optional int32 (otherwise the decode
// fails) and is dropped; ConsentConfig's tag 5 is skipped unread.
#pragma once

#include "Libraries/WireMessages/MSRPBMessage.h"
#include "Libraries/WireMessages/MSRPBMessageTable.h"
#include "Libraries/WireMessages/MSRPBProgramMessages.h"

MSRPB_DECLARE_MESSAGE(MeasurementConfig)
MSRPB_DECLARE_MESSAGE(Setting)
MSRPB_DECLARE_MESSAGE(EventConfig)
MSRPB_DECLARE_MESSAGE(DataControl)
MSRPB_DECLARE_MESSAGE(Region)
MSRPB_DECLARE_MESSAGE(ConsentConfig)
MSRPB_DECLARE_MESSAGE(ConsentDefaultEntry)
MSRPB_DECLARE_MESSAGE(ConsentDelegationEntry)
MSRPB_DECLARE_MESSAGE(CorePlatformServiceEntry)
MSRPB_DECLARE_MESSAGE(Audience)
MSRPB_DECLARE_MESSAGE(EventFilter)
MSRPB_DECLARE_MESSAGE(PropertyFilter)
MSRPB_DECLARE_MESSAGE(Filter)
MSRPB_DECLARE_MESSAGE(NumberFilter)
MSRPB_DECLARE_MESSAGE(StringFilter)
