// One step of DWARF unwinding: from the registers of a frame and its
// function's FDE, the registers of its caller. The CFA becomes the caller's
// stack pointer; the return-address column its PC. An undefined return
// address (a thread's first frame) sets the PC to 0, which ends the stack.
#pragma once

#include <cstdint>

#include "Libraries/CrashReporter/DVCRDwarfInstructions.h"
#include "Libraries/CrashReporter/DVCRDwarfRecords.h"
#include "Libraries/CrashReporter/DVCRThreadState.h"

// False, leaving `registers` as they were, when a rule cannot be followed,
// memory cannot be read, or the step would leave the PC or SP unchanged.
bool DVCRDwarfUnwindComputeRegisters(const DVCRDwarfCFIRecord& record, DVCRThreadState* registers);
// The same step from rules already worked out for the registers' PC.
bool DVCRDwarfUnwindApplyRules(const DVCRDwarfState& rules, DVCRThreadState* registers);

bool DVCRDwarfGetCFA(const DVCRDwarfState& state, const DVCRThreadState* registers, uint64_t* cfa);
// The caller's value of a register saved by one rule; 0 with a log line
// when the rule cannot be followed (`*ok` then false).
uint64_t DVCRDwarfGetSavedRegister(const DVCRThreadState* registers, uint64_t cfa,
                                   const DVCRDwarfRegisterRule& rule, bool* ok);
bool DVCRDwarfUnwindAssignRegisters(const DVCRDwarfState& state, const DVCRThreadState* registers, uint64_t cfa,
                                    DVCRThreadState* outRegisters);
