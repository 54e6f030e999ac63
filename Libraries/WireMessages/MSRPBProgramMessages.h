// The program messages: an event-editing program is a list of statements,
// each a tree of runtime entities, with optional activities that register
// named rules. Classes MSRPBProgram, MSRPBRuntimeEntity, MSRPBOgtActivities
// and MSRPBOgtActivity, each with its coder family (MSRPBMessageTable.h).
// Their fields by index are the tables of MSRPBProgramMessages.cc; the
// wire form is ProgramMessages.proto.
//
// A RuntimeEntity's children (index 1) are RuntimeEntities, so a tree has
// any depth; a decode refuses one deeper than MSRPBMaxNestingDepth levels
// below the outermost message.
#pragma once

#include "Libraries/WireMessages/MSRPBMessage.h"
#include "Libraries/WireMessages/MSRPBMessageTable.h"

MSRPB_DECLARE_MESSAGE(Program)
MSRPB_DECLARE_MESSAGE(RuntimeEntity)
MSRPB_DECLARE_MESSAGE(OgtActivities)
MSRPB_DECLARE_MESSAGE(OgtActivity)
