// Running call-frame instructions: the CIE's, then an FDE's up to a PC,
// leave the rules that say where the caller's registers and its CFA are.
//
// Supported: nop, set_loc, advance_loc (all four forms), offset,
// offset_extended_sf, restore, undefined, same_value, register, def_cfa,
// def_cfa_register, def_cfa_offset, def_cfa_expression, expression,
// val_expression, remember_state, restore_state, and GNU_args_size, which
// changes no rule and is read past. Any other instruction
// fails the run with a log line, and the unwinder falls back.
//
// A row applies from its location on: the run stops once the location has
// moved past the target offset, so the rules of a row that begins exactly
// at the target are applied. Callers pass the interrupted instruction as it
// is and a return address minus 1 (inside its call).
#pragma once

#include <cstdint>

#include "Libraries/CrashReporter/DVCRDwarfRecords.h"

inline constexpr int kDVCRDwarfRegisterRuleCount = 32;
// remember_state nests one deep in every library of this system; four is
// room to spare, and every saved state lives on the caller's stack.
inline constexpr int kDVCRDwarfRememberedStateLimit = 4;

enum DVCRDwarfRegisterLocation : uint8_t {
  kDVCRDwarfRegisterUnused = 0,           // keeps its value
  kDVCRDwarfRegisterAtCFAPlusOffset = 1,  // saved in memory at CFA + value
  kDVCRDwarfRegisterIsCFAPlusOffset = 2,  // not supported
  kDVCRDwarfRegisterInRegister = 3,       // in register `value`
  kDVCRDwarfRegisterAtExpression = 4,     // at the address the expression at `value` computes
  kDVCRDwarfRegisterIsExpression = 5,     // the value the expression at `value` computes
  kDVCRDwarfRegisterUndefined = 6,        // lost; for the return address, the end of the stack
};

struct DVCRDwarfRegisterRule {
  int64_t value;
  DVCRDwarfRegisterLocation location;
};

// CFA = register `cfaRegister` + `cfaRegisterOffset`, or, when
// `cfaExpression` is set, the value of that length-prefixed expression.
// Plain data: DVCRDwarfState{} is all zero, a declared one is not
// initialised (saved states are filled before use).
struct DVCRDwarfState {
  uint64_t cfaRegister;
  int64_t cfaRegisterOffset;
  uintptr_t cfaExpression;
  DVCRDwarfRegisterRule registers[kDVCRDwarfRegisterRuleCount];
};

// Runs `instructions` from location 0 (relative to `pcStart`) while the
// location is at most `pcOffset`. `initial` holds the rules the CIE left,
// which DW_CFA_restore returns to; none while running the CIE itself.
bool DVCRDwarfInstructionsEnumerate(const DVCRDwarfInstructions& instructions, const DVCRDwarfCIERecord& cie,
                                    uint64_t pcStart, const DVCRDwarfState* initial, DVCRDwarfState* state,
                                    uint64_t pcOffset);

// The rules in force at `pc` in the record's function: the CIE's
// instructions, then the FDE's. False for a PC before the function.
bool DVCRDwarfRulesForPC(const DVCRDwarfCFIRecord& record, uint64_t pc, DVCRDwarfState* state);
