// The experiment and SKAdNetwork messages. The experiment client sends an
// MSRPBExperimentRequest (one MSRPBAppProperty, one MSRPBClientProperty per
// registered SDK with its MSRPBCustomProperty pairs) and reads an
// MSRPBExperimentResponse of MSRPBSnapshot values (MSRPBExperiment with
// their MSRPBFlag values) and MSRPBSdkResponse entries; snapshots are also
// stored encoded. The SKAdNetwork reporter posts an
// MSRPBSkAdNetworkConversionValueRequest and reads an
// MSRPBSkAdNetworkConversionValueResponse. Each has its coder family
// (MSRPBMessageTable.h); their fields by index are the tables of
// MSRPBExperimentMessages.cc, the wire form ExperimentMessages.proto.
// A flag becomes a value and back through MSRPBFlagRoutines.h.
#pragma once

#include "Libraries/WireMessages/MSRPBMessage.h"
#include "Libraries/WireMessages/MSRPBMessageTable.h"

MSRPB_DECLARE_MESSAGE(ExperimentRequest)
MSRPB_DECLARE_MESSAGE(AppProperty)
MSRPB_DECLARE_MESSAGE(ClientProperty)
MSRPB_DECLARE_MESSAGE(CustomProperty)
MSRPB_DECLARE_MESSAGE(ExperimentResponse)
MSRPB_DECLARE_MESSAGE(Snapshot)
MSRPB_DECLARE_MESSAGE(Experiment)
MSRPB_DECLARE_MESSAGE(Flag)
MSRPB_DECLARE_MESSAGE(SdkResponse)
MSRPB_DECLARE_MESSAGE(SkAdNetworkConversionValueRequest)
MSRPB_DECLARE_MESSAGE(SkAdNetworkConversionValueResponse)
