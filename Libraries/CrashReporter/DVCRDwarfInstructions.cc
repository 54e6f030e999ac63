#include "Libraries/CrashReporter/DVCRDwarfInstructions.h"

#include <cstdint>

#include "Libraries/CrashReporter/DVCRDwarfReaders.h"
#include "Libraries/CrashReporter/DVCRUnwindSupport.h"

namespace {

// One run of instructions: where it reads, the location reached, and the
// states remember_state saved.
struct Run {
  Run(const DVCRDwarfInstructions& instructions, const DVCRDwarfCIERecord& cie, uint64_t pcStart,
      const DVCRDwarfState* initial, DVCRDwarfState* state)
      : cursor(DVCRDwarfCursorMake(instructions.start, instructions.length)),
        cie(cie),
        pcStart(pcStart),
        initial(initial),
        state(state) {}
  DVCRDwarfCursor cursor;  // confined to the run's instructions
  const DVCRDwarfCIERecord& cie;
  uint64_t pcStart;
  const DVCRDwarfState* initial;
  DVCRDwarfState* state;
  uint64_t location = 0;
  DVCRDwarfState remembered[kDVCRDwarfRememberedStateLimit];
  int rememberedCount = 0;
};

// A register operand, which must name one of the rules; the caller logs
// its own message for one that does not.
bool parseRegister(Run& run, uint64_t* number) {
  *number = DVCRParseULEB128AndAdvance(&run.cursor);
  return *number < kDVCRDwarfRegisterRuleCount;
}

void setRule(Run& run, uint64_t number, DVCRDwarfRegisterLocation location, int64_t value) {
  run.state->registers[number].location = location;
  run.state->registers[number].value = value;
}

// An expression operand: its position is kept, the expression skipped.
// False when it does not end inside the run's instructions, which are all
// an evaluation of it will read.
bool skipExpression(Run& run, uintptr_t* expression) {
  *expression = run.cursor.position;
  const uint64_t length = DVCRParseULEB128AndAdvance(&run.cursor);
  if (run.cursor.failed || length > run.cursor.end - run.cursor.position) {
    DVCRSDKLogWarn("Error: DWARF expression runs past its instructions\n");
    return false;
  }
  run.cursor.position += length;
  return true;
}

// A factored offset times the data alignment, refused when the product
// does not fit a signed 64-bit offset.
bool scaleByDataAlignment(const Run& run, uint64_t factored, int64_t* offset) {
  if (factored > static_cast<uint64_t>(INT64_MAX)) return false;
  return !__builtin_mul_overflow(static_cast<int64_t>(factored), run.cie.dataAlignFactor, offset);
}

bool DVCRDwarfParseAndExecute_set_loc(Run& run) {
  const uint64_t address = DVCRParseAddressWithEncodingAndAdvance(&run.cursor, run.cie.pointerEncoding);
  if (DVCRIsInvalidAddress(address) || address < run.pcStart) return false;
  // The operand is an address; locations count from the function's start.
  run.location = address - run.pcStart;
  DVCRSDKLogDebug("DW_CFA_set_loc %p\n", reinterpret_cast<void*>(address));
  return true;
}

bool DVCRDwarfParseAndExecute_advance_loc(Run& run, uint64_t delta) {
  uint64_t advance;
  if (__builtin_mul_overflow(delta, run.cie.codeAlignFactor, &advance) ||
      __builtin_add_overflow(run.location, advance, &run.location)) {
    DVCRSDKLogWarn("Error: DW_CFA_advance_loc beyond any address\n");
    return false;
  }
  DVCRSDKLogDebug("DW_CFA_advance_loc %u\n", static_cast<unsigned>(delta));
  return true;
}

bool DVCRDwarfParseAndExecute_advance_loc1(Run& run) {
  return DVCRDwarfParseAndExecute_advance_loc(run, DVCRParseUint8AndAdvance(&run.cursor));
}
bool DVCRDwarfParseAndExecute_advance_loc2(Run& run) {
  return DVCRDwarfParseAndExecute_advance_loc(run, DVCRParseUint16AndAdvance(&run.cursor));
}
bool DVCRDwarfParseAndExecute_advance_loc4(Run& run) {
  return DVCRDwarfParseAndExecute_advance_loc(run, DVCRParseUint32AndAdvance(&run.cursor));
}

bool DVCRDwarfParseAndExecute_offset(Run& run, uint64_t number) {
  if (number >= kDVCRDwarfRegisterRuleCount) {
    DVCRSDKLogWarn("Error: Found an invalid DW_CFA_offset register number\n");
    return false;
  }
  const uint64_t factored = DVCRParseULEB128AndAdvance(&run.cursor);
  int64_t offset;
  if (!scaleByDataAlignment(run, factored, &offset)) {
    DVCRSDKLogWarn("Error: DW_CFA_offset %u offset out of range\n", static_cast<unsigned>(number));
    return false;
  }
  setRule(run, number, kDVCRDwarfRegisterAtCFAPlusOffset, offset);
  DVCRSDKLogDebug("DW_CFA_offset %u, %lld\n", static_cast<unsigned>(number), offset);
  return true;
}

bool DVCRDwarfParseAndExecute_offset_extended_sf(Run& run) {
  uint64_t number;
  if (!parseRegister(run, &number)) {
    DVCRSDKLogWarn("Error: Found an invalid DW_CFA_offset_extended_sf register number\n");
    return false;
  }
  int64_t offset;
  if (__builtin_mul_overflow(DVCRParseLEB128AndAdvance(&run.cursor), run.cie.dataAlignFactor, &offset)) {
    DVCRSDKLogWarn("Error: DW_CFA_offset_extended_sf %u offset out of range\n", static_cast<unsigned>(number));
    return false;
  }
  setRule(run, number, kDVCRDwarfRegisterAtCFAPlusOffset, offset);
  DVCRSDKLogDebug("DW_CFA_offset_extended_sf %u, %lld\n", static_cast<unsigned>(number), offset);
  return true;
}

bool DVCRDwarfParseAndExecute_restore(Run& run, uint64_t number) {
  if (number >= kDVCRDwarfRegisterRuleCount || run.initial == nullptr) {
    DVCRSDKLogWarn("Error: Found an invalid DW_CFA_restore register number\n");
    return false;
  }
  run.state->registers[number] = run.initial->registers[number];
  DVCRSDKLogDebug("DW_CFA_restore %u\n", static_cast<unsigned>(number));
  return true;
}

bool DVCRDwarfParseAndExecute_undefined(Run& run) {
  uint64_t number;
  if (!parseRegister(run, &number)) {
    DVCRSDKLogWarn("Error: Found an invalid DW_CFA_undefined register number\n");
    return false;
  }
  setRule(run, number, kDVCRDwarfRegisterUndefined, 0);
  DVCRSDKLogDebug("DW_CFA_undefined %u\n", static_cast<unsigned>(number));
  return true;
}

bool DVCRDwarfParseAndExecute_same_value(Run& run) {
  uint64_t number;
  if (!parseRegister(run, &number)) {
    DVCRSDKLogWarn("Error: Found an invalid DW_CFA_same_value register number\n");
    return false;
  }
  setRule(run, number, kDVCRDwarfRegisterUnused, 0);
  DVCRSDKLogDebug("DW_CFA_same_value %u\n", static_cast<unsigned>(number));
  return true;
}

bool DVCRDwarfParseAndExecute_register(Run& run) {
  uint64_t number, source;
  if (!parseRegister(run, &number)) {
    DVCRSDKLogWarn("Error: Found an invalid DW_CFA_register number\n");
    return false;
  }
  if (!parseRegister(run, &source)) {
    DVCRSDKLogWarn("Error: Found an invalid DW_CFA_register value\n");
    return false;
  }
  setRule(run, number, kDVCRDwarfRegisterInRegister, static_cast<int64_t>(source));
  DVCRSDKLogDebug("DW_CFA_register %u, %u\n", static_cast<unsigned>(number),
                  static_cast<unsigned>(source));
  return true;
}

bool DVCRDwarfParseAndExecute_def_cfa(Run& run) {
  uint64_t number;
  if (!parseRegister(run, &number)) {
    DVCRSDKLogWarn("Error: Found an invalid DW_CFA_def_cfa register number\n");
    return false;
  }
  run.state->cfaRegister = number;
  run.state->cfaRegisterOffset = static_cast<int64_t>(DVCRParseULEB128AndAdvance(&run.cursor));
  run.state->cfaExpression = 0;
  DVCRSDKLogDebug("DW_CFA_def_cfa %u, %lld\n", static_cast<unsigned>(number),
                  run.state->cfaRegisterOffset);
  return true;
}

bool DVCRDwarfParseAndExecute_def_cfa_register(Run& run) {
  uint64_t number;
  if (!parseRegister(run, &number)) {
    DVCRSDKLogWarn("Error: Found an invalid DW_CFA_def_cfa_register register number\n");
    return false;
  }
  run.state->cfaRegister = number;
  run.state->cfaExpression = 0;
  DVCRSDKLogDebug("DW_CFA_def_cfa_register %u\n", static_cast<unsigned>(number));
  return true;
}

bool DVCRDwarfParseAndExecute_def_cfa_offset(Run& run) {
  run.state->cfaRegisterOffset = static_cast<int64_t>(DVCRParseULEB128AndAdvance(&run.cursor));
  DVCRSDKLogDebug("DW_CFA_def_cfa_offset %lld\n", run.state->cfaRegisterOffset);
  return true;
}

bool DVCRDwarfParseAndExecute_def_cfa_expression(Run& run) {
  uintptr_t expression;
  if (!skipExpression(run, &expression)) return false;
  run.state->cfaExpression = expression;
  run.state->cfaRegister = kDVCRDwarfRegisterRuleCount;
  DVCRSDKLogDebug("DW_CFA_def_cfa_expression %p\n", reinterpret_cast<void*>(run.state->cfaExpression));
  return true;
}

bool DVCRDwarfParseAndExecute_expression(Run& run) {
  uint64_t number;
  if (!parseRegister(run, &number)) {
    DVCRSDKLogWarn("Error: Found an invalid DW_CFA_expression register number\n");
    return false;
  }
  uintptr_t expression;
  if (!skipExpression(run, &expression)) return false;
  setRule(run, number, kDVCRDwarfRegisterAtExpression, static_cast<int64_t>(expression));
  DVCRSDKLogDebug("DW_CFA_expression %u\n", static_cast<unsigned>(number));
  return true;
}

bool DVCRDwarfParseAndExecute_val_expression(Run& run) {
  uint64_t number;
  if (!parseRegister(run, &number)) {
    DVCRSDKLogWarn("Error: Found an invalid DW_CFA_val_expression register number\n");
    return false;
  }
  uintptr_t expression;
  if (!skipExpression(run, &expression)) return false;
  setRule(run, number, kDVCRDwarfRegisterIsExpression, static_cast<int64_t>(expression));
  DVCRSDKLogDebug("DW_CFA_val_expression %u\n", static_cast<unsigned>(number));
  return true;
}

// The stack adjustment a landing pad needs after a call with pushed
// arguments. It changes no rule, so unwinding reads past it; ordinary
// optimised C++ code is full of it.
bool DVCRDwarfParseAndExecute_GNU_args_size(Run& run) {
  const uint64_t size = DVCRParseULEB128AndAdvance(&run.cursor);
  DVCRSDKLogDebug("DW_CFA_GNU_args_size %u\n", static_cast<unsigned>(size));
  return true;
}

bool DVCRDwarfParseAndExecute_remember_state(Run& run) {
  if (run.rememberedCount == kDVCRDwarfRememberedStateLimit) {
    DVCRSDKLogWarn("Error: DW_CFA_remember_state nested too deeply\n");
    return false;
  }
  run.remembered[run.rememberedCount++] = *run.state;
  DVCRSDKLogDebug("DW_CFA_remember_state\n");
  return true;
}

bool DVCRDwarfParseAndExecute_restore_state(Run& run) {
  if (run.rememberedCount == 0) {
    DVCRSDKLogWarn("Error: DW_CFA_restore_state without a remembered state\n");
    return false;
  }
  *run.state = run.remembered[--run.rememberedCount];
  DVCRSDKLogDebug("DW_CFA_restore_state\n");
  return true;
}

// The compact forms: the opcode in the top two bits, the operand in the low six.
bool DVCRDwarfParseAndExecuteInstructionWithOperand(Run& run, uint8_t instruction) {
  const uint8_t operand = instruction & 0x3F;
  switch (instruction & 0xC0) {
    case 0x40: return DVCRDwarfParseAndExecute_advance_loc(run, operand);
    case 0x80: return DVCRDwarfParseAndExecute_offset(run, operand);
    case 0xC0: return DVCRDwarfParseAndExecute_restore(run, operand);
  }
  return false;
}

bool execute(Run& run, uint8_t opcode) {
  if (opcode & 0xC0) return DVCRDwarfParseAndExecuteInstructionWithOperand(run, opcode);
  switch (opcode) {
    case 0x00: return true;  // DW_CFA_nop
    case 0x01: return DVCRDwarfParseAndExecute_set_loc(run);
    case 0x02: return DVCRDwarfParseAndExecute_advance_loc1(run);
    case 0x03: return DVCRDwarfParseAndExecute_advance_loc2(run);
    case 0x04: return DVCRDwarfParseAndExecute_advance_loc4(run);
    case 0x07: return DVCRDwarfParseAndExecute_undefined(run);
    case 0x08: return DVCRDwarfParseAndExecute_same_value(run);
    case 0x09: return DVCRDwarfParseAndExecute_register(run);
    case 0x0A: return DVCRDwarfParseAndExecute_remember_state(run);
    case 0x0B: return DVCRDwarfParseAndExecute_restore_state(run);
    case 0x0C: return DVCRDwarfParseAndExecute_def_cfa(run);
    case 0x0D: return DVCRDwarfParseAndExecute_def_cfa_register(run);
    case 0x0E: return DVCRDwarfParseAndExecute_def_cfa_offset(run);
    case 0x0F: return DVCRDwarfParseAndExecute_def_cfa_expression(run);
    case 0x10: return DVCRDwarfParseAndExecute_expression(run);
    case 0x11: return DVCRDwarfParseAndExecute_offset_extended_sf(run);
    case 0x16: return DVCRDwarfParseAndExecute_val_expression(run);
    case 0x2E: return DVCRDwarfParseAndExecute_GNU_args_size(run);
    case 0x05:
    case 0x06:
    case 0x12:
    case 0x13:
    case 0x14:
    case 0x15:
    case 0x2D:
    case 0x2F:
      DVCRSDKLogWarn("Error: Unimplemented DWARF instruction 0x%x\n", static_cast<unsigned>(opcode));
      return false;
    default:
      DVCRSDKLogWarn("Error: Unrecognized DWARF instruction 0x%x\n", static_cast<unsigned>(opcode));
      return false;
  }
}

}  // namespace

bool DVCRDwarfInstructionsEnumerate(const DVCRDwarfInstructions& instructions, const DVCRDwarfCIERecord& cie,
                                    uint64_t pcStart, const DVCRDwarfState* initial, DVCRDwarfState* state,
                                    uint64_t pcOffset) {
  Run run(instructions, cie, pcStart, initial, state);
  DVCRSDKLogDebug("Running instructions from %p to %p\n", reinterpret_cast<void*>(run.cursor.position),
                  reinterpret_cast<void*>(run.cursor.end));
  while (!run.cursor.failed && run.cursor.position < run.cursor.end && run.location <= pcOffset) {
    const uint8_t opcode = DVCRParseUint8AndAdvance(&run.cursor);
    if (run.cursor.failed) break;
    if (!execute(run, opcode) || run.cursor.failed) {
      DVCRSDKLogWarn("Error: Failed to execute dwarf instruction 0x%x\n", static_cast<unsigned>(opcode));
      return false;
    }
  }
  // An operand that would have run past the end was not read; the run
  // fails instead.
  if (run.cursor.failed) DVCRSDKLogWarn("Error: DWARF instructions run past their end\n");
  return !run.cursor.failed;
}

bool DVCRDwarfRulesForPC(const DVCRDwarfCFIRecord& record, uint64_t pc, DVCRDwarfState* state) {
  *state = DVCRDwarfState{};
  if (!DVCRDwarfInstructionsEnumerate(record.cie.instructions, record.cie, record.fde.pcStart, nullptr, state,
                                      UINT64_MAX)) {
    DVCRSDKLogWarn("Error: Unable to run CIE instructions\n");
    return false;
  }
  if (pc < record.fde.pcStart) {
    DVCRSDKLogWarn("Error: The FDE pcOffset value cannot be negative\n");
    return false;
  }
  const DVCRDwarfState initial = *state;
  if (!DVCRDwarfInstructionsEnumerate(record.fde.instructions, record.cie, record.fde.pcStart, &initial, state,
                                      pc - record.fde.pcStart)) {
    DVCRSDKLogWarn("Error: Unable to run FDE instructions\n");
    return false;
  }
  return true;
}
