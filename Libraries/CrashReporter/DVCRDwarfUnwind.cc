#include "Libraries/CrashReporter/DVCRDwarfUnwind.h"

#include <cstdint>

#include "Libraries/CrashReporter/DVCRDwarfExpression.h"
#include "Libraries/CrashReporter/DVCRUnwindSupport.h"

bool DVCRDwarfGetCFA(const DVCRDwarfState& state, const DVCRThreadState* registers, uint64_t* cfa) {
  if (state.cfaExpression == 0) {
    *cfa = DVCRDwarfUnwindGetRegisterValue(registers, state.cfaRegister) + static_cast<uint64_t>(state.cfaRegisterOffset);
    return true;
  }
  if (!DVCRDwarfEvalulateExpression(state.cfaExpression, registers, 0, cfa)) {
    DVCRSDKLogWarn("Error: failed to compute CFA expression\n");
    return false;
  }
  return true;
}

uint64_t DVCRDwarfGetSavedRegister(const DVCRThreadState* registers, uint64_t cfa,
                                   const DVCRDwarfRegisterRule& rule, bool* ok) {
  DVCRSDKLogDebug("Getting register %x\n", static_cast<unsigned>(rule.location));
  *ok = true;
  uint64_t value = 0;
  switch (rule.location) {
    case kDVCRDwarfRegisterAtCFAPlusOffset:
      if (DVCRUnwindReadMemory(cfa + static_cast<uint64_t>(rule.value), &value, sizeof value)) return value;
      DVCRSDKLogWarn("Error: Unable to read CFA value\n");
      break;
    case kDVCRDwarfRegisterIsCFAPlusOffset:
      DVCRSDKLogWarn("Error: OffsetFromCFA unhandled\n");
      break;
    case kDVCRDwarfRegisterInRegister:
      return DVCRDwarfUnwindGetRegisterValue(registers, static_cast<uint64_t>(rule.value));
    case kDVCRDwarfRegisterAtExpression: {
      uint64_t address;
      if (!DVCRDwarfEvalulateExpression(static_cast<uintptr_t>(rule.value), registers, cfa, &address)) {
        DVCRSDKLogWarn("Error: unable to evaluate expression\n");
        break;
      }
      if (DVCRUnwindReadMemory(address, &value, sizeof value)) return value;
      DVCRSDKLogWarn("Error: Unable to read memory computed from expression\n");
      break;
    }
    case kDVCRDwarfRegisterIsExpression:
      if (DVCRDwarfEvalulateExpression(static_cast<uintptr_t>(rule.value), registers, cfa, &value)) return value;
      DVCRSDKLogWarn("Error: unable to evaluate expression\n");
      break;
    default:
      DVCRSDKLogWarn("Error: Unrecognized register save location 0x%x\n",
                      static_cast<unsigned>(rule.location));
      break;
  }
  *ok = false;
  return 0;
}

namespace {

// The words below the CFA where a function saved registers, read with one
// safe read instead of one per register: each read is a system call.
struct SavedArea {
  static constexpr int kWords = 32;
  uint64_t words[kWords];
  int64_t lowest = 0;  // offset from the CFA of words[0]
  bool read = false;

  SavedArea(const DVCRDwarfState& state, uint64_t cfa) {
    int64_t highest = INT64_MIN;
    lowest = INT64_MAX;
    for (const DVCRDwarfRegisterRule& rule : state.registers) {
      if (rule.location != kDVCRDwarfRegisterAtCFAPlusOffset) continue;
      lowest = rule.value < lowest ? rule.value : lowest;
      highest = rule.value > highest ? rule.value : highest;
    }
    // Differences in unsigned arithmetic: offsets come from the tables and
    // may lie anywhere in the 64-bit range.
    if (highest == INT64_MIN || span(highest) >= kWords * 8) return;
    read = DVCRUnwindReadMemory(cfa + static_cast<uint64_t>(lowest), words, static_cast<size_t>(span(highest)) + 8);
  }

  uint64_t span(int64_t offset) const { return static_cast<uint64_t>(offset) - static_cast<uint64_t>(lowest); }

  // The word saved at CFA + offset, when it was read here.
  bool find(int64_t offset, uint64_t* value) const {
    if (!read || offset < lowest || span(offset) >= kWords * 8 || span(offset) % 8 != 0) return false;
    *value = words[span(offset) / 8];
    return true;
  }
};

}  // namespace

bool DVCRDwarfUnwindAssignRegisters(const DVCRDwarfState& state, const DVCRThreadState* registers, uint64_t cfa,
                                    DVCRThreadState* outRegisters) {
  DVCRThreadState next = *registers;
  const SavedArea saved(state, cfa);
  for (uint64_t number = 0; number < kDVCRDwarfRegisterRuleCount; ++number) {
    const DVCRDwarfRegisterRule& rule = state.registers[number];
    if (rule.location == kDVCRDwarfRegisterUnused) continue;
    if (rule.location == kDVCRDwarfRegisterUndefined) {
      // The caller's value is lost; a lost return address is the end of
      // the stack, which a PC of 0 tells the unwinder.
      if (number == kDVCRDwarfReturnAddressRegister) DVCRDwarfUnwindSetRegisterValue(&next, number, 0);
      continue;
    }
    bool ok = true;
    uint64_t value;
    if (rule.location != kDVCRDwarfRegisterAtCFAPlusOffset || !saved.find(rule.value, &value))
      value = DVCRDwarfGetSavedRegister(registers, cfa, rule, &ok);
    if (!ok || !DVCRDwarfUnwindSetRegisterValue(&next, number, value)) {
      DVCRSDKLogWarn("Error: Unable to restore register value\n");
      return false;
    }
  }
  if (!DVCRThreadContextSetStackPointer(&next, cfa)) {
    DVCRSDKLogWarn("Error: Unable to restore SP value\n");
    return false;
  }
  if (DVCRThreadContextGetStackPointer(&next) == DVCRThreadContextGetStackPointer(registers)) {
    DVCRSDKLogWarn("Error: Stack pointer hasn't changed\n");
    return false;
  }
  if (DVCRThreadContextGetPC(&next) == DVCRThreadContextGetPC(registers)) {
    DVCRSDKLogWarn("Error: PC hasn't changed\n");
    return false;
  }
  *outRegisters = next;
  return true;
}

bool DVCRDwarfUnwindApplyRules(const DVCRDwarfState& rules, DVCRThreadState* registers) {
  uint64_t cfa;
  if (!DVCRDwarfGetCFA(rules, registers, &cfa)) {
    DVCRSDKLogWarn("Error: failed to get CFA\n");
    return false;
  }
  if (!DVCRDwarfUnwindAssignRegisters(rules, registers, cfa, registers)) {
    DVCRSDKLogError("Error: Unable to assign DWARF registers\n");
    return false;
  }
  return true;
}

bool DVCRDwarfUnwindComputeRegisters(const DVCRDwarfCFIRecord& record, DVCRThreadState* registers) {
  DVCRDwarfState state;
  if (!DVCRDwarfRulesForPC(record, DVCRThreadContextGetPC(registers), &state)) return false;
  return DVCRDwarfUnwindApplyRules(state, registers);
}
