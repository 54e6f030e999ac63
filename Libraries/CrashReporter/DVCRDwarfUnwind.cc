#include "Libraries/CrashReporter/DVCRDwarfUnwind.h"

#include "Libraries/CrashReporter/DVCRDwarfExpression.h"
#include "Libraries/CrashReporter/DVCRUnwindSupport.h"

bool DVCRDwarfGetCFA(const DVCRDwarfState& state, const DVCRThreadState* registers, uint64_t* cfa) {
  if (state.cfaExpression == 0) {
    *cfa = DVCRDwarfUnwindGetRegisterValue(registers, state.cfaRegister) + static_cast<uint64_t>(state.cfaRegisterOffset);
    return true;
  }
  if (!DVCRDwarfEvalulateExpression(state.cfaExpression, registers, 0, cfa)) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: failed to compute CFA expression");
    return false;
  }
  return true;
}

uint64_t DVCRDwarfGetSavedRegister(const DVCRThreadState* registers, uint64_t cfa,
                                   const DVCRDwarfRegisterRule& rule, bool* ok) {
  DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Getting register %x", static_cast<unsigned>(rule.location));
  *ok = true;
  uint64_t value = 0;
  switch (rule.location) {
    case kDVCRDwarfRegisterAtCFAPlusOffset:
      if (DVCRUnwindReadMemory(cfa + static_cast<uint64_t>(rule.value), &value, sizeof value)) return value;
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: Unable to read CFA value");
      break;
    case kDVCRDwarfRegisterIsCFAPlusOffset:
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: OffsetFromCFA unhandled");
      break;
    case kDVCRDwarfRegisterInRegister:
      return DVCRDwarfUnwindGetRegisterValue(registers, static_cast<uint64_t>(rule.value));
    case kDVCRDwarfRegisterAtExpression: {
      uint64_t address;
      if (!DVCRDwarfEvalulateExpression(static_cast<uintptr_t>(rule.value), registers, cfa, &address)) {
        DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: unable to evaluate expression");
        break;
      }
      if (DVCRUnwindReadMemory(address, &value, sizeof value)) return value;
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: Unable to read memory computed from expression");
      break;
    }
    case kDVCRDwarfRegisterIsExpression:
      if (DVCRDwarfEvalulateExpression(static_cast<uintptr_t>(rule.value), registers, cfa, &value)) return value;
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: unable to evaluate expression");
      break;
    default:
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: Unrecognized register save location 0x%x",
                      static_cast<unsigned>(rule.location));
      break;
  }
  *ok = false;
  return 0;
}

bool DVCRDwarfUnwindAssignRegisters(const DVCRDwarfState& state, const DVCRThreadState* registers, uint64_t cfa,
                                    DVCRThreadState* outRegisters) {
  DVCRThreadState next = *registers;
  for (uint64_t number = 0; number < kDVCRDwarfRegisterRuleCount; ++number) {
    const DVCRDwarfRegisterRule& rule = state.registers[number];
    if (rule.location == kDVCRDwarfRegisterUnused) continue;
    if (rule.location == kDVCRDwarfRegisterUndefined) {
      // The caller's value is lost; a lost return address is the end of
      // the stack, which a PC of 0 tells the unwinder.
      if (number == kDVCRDwarfReturnAddressRegister) DVCRDwarfUnwindSetRegisterValue(&next, number, 0);
      continue;
    }
    bool ok;
    const uint64_t value = DVCRDwarfGetSavedRegister(registers, cfa, rule, &ok);
    if (!ok || !DVCRDwarfUnwindSetRegisterValue(&next, number, value)) {
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: Unable to restore register value");
      return false;
    }
  }
  if (!DVCRThreadContextSetStackPointer(&next, cfa)) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: Unable to restore SP value");
    return false;
  }
  if (DVCRThreadContextGetStackPointer(&next) == DVCRThreadContextGetStackPointer(registers)) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: Stack pointer hasn't changed");
    return false;
  }
  if (DVCRThreadContextGetPC(&next) == DVCRThreadContextGetPC(registers)) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: PC hasn't changed");
    return false;
  }
  *outRegisters = next;
  return true;
}

bool DVCRDwarfUnwindComputeRegisters(const DVCRDwarfCFIRecord& record, DVCRThreadState* registers) {
  DVCRDwarfState state;
  if (!DVCRDwarfRulesForPC(record, DVCRThreadContextGetPC(registers), &state)) return false;
  uint64_t cfa;
  if (!DVCRDwarfGetCFA(state, registers, &cfa)) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: failed to get CFA");
    return false;
  }
  if (!DVCRDwarfUnwindAssignRegisters(state, registers, cfa, registers)) {
    DVCR_UNWIND_LOG(4, "ERROR [%s:%d] Error: Unable to assign DWARF registers");
    return false;
  }
  return true;
}
