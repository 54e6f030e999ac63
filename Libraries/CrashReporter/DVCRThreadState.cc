#include "Libraries/CrashReporter/DVCRThreadState.h"

#include "Libraries/CrashReporter/DVCRUnwindSupport.h"

namespace {

// The gregset index of each DWARF register, 0 to 16.
constexpr int kGregForDwarfRegister[] = {REG_RAX, REG_RDX, REG_RCX, REG_RBX, REG_RSI, REG_RDI,
                                         REG_RBP, REG_RSP, REG_R8,  REG_R9,  REG_R10, REG_R11,
                                         REG_R12, REG_R13, REG_R14, REG_R15, REG_RIP};
constexpr uint64_t kDwarfRegisterCount = sizeof kGregForDwarfRegister / sizeof kGregForDwarfRegister[0];

uint64_t get(const DVCRThreadState* registers, int index) {
  return registers == nullptr ? 0 : static_cast<uint64_t>(registers->gregs[index]);
}

bool set(DVCRThreadState* registers, int index, uint64_t value) {
  if (registers == nullptr) return false;
  registers->gregs[index] = static_cast<greg_t>(value);
  return true;
}

}  // namespace

uint64_t DVCRThreadContextGetPC(const DVCRThreadState* registers) { return get(registers, REG_RIP); }

uint64_t DVCRThreadContextGetStackPointer(const DVCRThreadState* registers) { return get(registers, REG_RSP); }

uint64_t DVCRThreadContextGetFramePointer(const DVCRThreadState* registers) {
  uint64_t value = get(registers, REG_RBP);
  return value < kDVCRMinimumValidAddress ? 0 : value;
}

bool DVCRThreadContextSetPC(DVCRThreadState* registers, uint64_t value) { return set(registers, REG_RIP, value); }

bool DVCRThreadContextSetStackPointer(DVCRThreadState* registers, uint64_t value) {
  return value >= kDVCRMinimumValidAddress && set(registers, REG_RSP, value);
}

bool DVCRThreadContextSetFramePointer(DVCRThreadState* registers, uint64_t value) {
  return value >= kDVCRMinimumValidAddress && set(registers, REG_RBP, value);
}

uint64_t DVCRDwarfUnwindGetRegisterValue(const DVCRThreadState* registers, uint64_t number) {
  if (number >= kDwarfRegisterCount) {
    DVCRSDKLogWarn("Error: Unrecognized get register number %llu\n", number);
    return 0;
  }
  return get(registers, kGregForDwarfRegister[number]);
}

bool DVCRDwarfUnwindSetRegisterValue(DVCRThreadState* registers, uint64_t number, uint64_t value) {
  if (number >= kDwarfRegisterCount) {
    DVCRSDKLogWarn("Unrecognized set register number %llu\n", number);
    return false;
  }
  // The stack pointer keeps its own rule: never below one page.
  if (number == 7) return DVCRThreadContextSetStackPointer(registers, value);
  return set(registers, kGregForDwarfRegister[number], value);
}
