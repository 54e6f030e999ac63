// The upload messages: events with their parameters, user properties and
// audience results gathered in bundles, and the batch of bundles an upload
// sends. Classes MSRPBMeasurementBatch, MSRPBMeasurementBundle, MSRPBEvent,
// MSRPBEventParam, MSRPBUserAttribute, MSRPBAudienceLeafFilterResult,
// MSRPBResultData, MSRPBDynamicFilterResultTimestamp and
// MSRPBSequenceFilterResultTimestamp, each with its coder family
// (MSRPBMessageTable.h). Their fields by index, with tag and kind, are the
// tables of MSRPBUploadMessages.cc; the wire form is UploadMessages.proto.
#pragma once

#include "Libraries/WireMessages/MSRPBMessage.h"
#include "Libraries/WireMessages/MSRPBMessageTable.h"

MSRPB_DECLARE_MESSAGE(MeasurementBatch)
MSRPB_DECLARE_MESSAGE(MeasurementBundle)
MSRPB_DECLARE_MESSAGE(Event)
MSRPB_DECLARE_MESSAGE(EventParam)
MSRPB_DECLARE_MESSAGE(UserAttribute)
MSRPB_DECLARE_MESSAGE(AudienceLeafFilterResult)
MSRPB_DECLARE_MESSAGE(ResultData)
MSRPB_DECLARE_MESSAGE(DynamicFilterResultTimestamp)
MSRPB_DECLARE_MESSAGE(SequenceFilterResultTimestamp)
