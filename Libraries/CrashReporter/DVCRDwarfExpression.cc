#include "Libraries/CrashReporter/DVCRDwarfExpression.h"

#include "Libraries/CrashReporter/DVCRDwarfReaders.h"
#include "Libraries/CrashReporter/DVCRUnwindSupport.h"

namespace {

constexpr int kInvalidDepth = -1;

bool isValid(const DVCRDwarfExpressionMachine* machine) {
  return machine->depth >= 0 && machine->depth <= kDVCRDwarfExpressionStackSize;
}

bool push(DVCRDwarfExpressionMachine* machine, uint64_t value) {
  if (!isValid(machine) || machine->depth == kDVCRDwarfExpressionStackSize) {
    machine->depth = kInvalidDepth;
    return false;
  }
  machine->stack[machine->depth++] = value;
  return true;
}

bool pop(DVCRDwarfExpressionMachine* machine, uint64_t* value) {
  if (!isValid(machine) || machine->depth == 0) {
    machine->depth = kInvalidDepth;
    return false;
  }
  *value = machine->stack[--machine->depth];
  return true;
}

bool popTwo(DVCRDwarfExpressionMachine* machine, uint64_t* top, uint64_t* second) {
  return pop(machine, top) && pop(machine, second);
}

bool derefSized(DVCRDwarfExpressionMachine* machine, uint8_t size) {
  uint64_t address;
  if (!pop(machine, &address)) return false;
  if (size != 1 && size != 2 && size != 4 && size != 8) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: unrecognized DW_OP_deref_size argument %x", static_cast<unsigned>(size));
    return false;
  }
  uint64_t value = 0;  // little-endian: the low bytes are the value
  if (!DVCRUnwindReadMemory(address, &value, size)) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: DW_OP_deref failed to read memory");
    return false;
  }
  return push(machine, value);
}

}  // namespace

bool DVCRDwarfExpressionMachineInit(DVCRDwarfExpressionMachine* machine, uintptr_t expression,
                                    const DVCRThreadState* registers, uint64_t initialValue) {
  if (machine == nullptr) return false;
  machine->depth = 0;
  machine->position = expression;
  machine->end = 0;
  machine->registers = registers;
  return push(machine, initialValue);
}

bool DVCRDwarfExpressionMachinePrepareForExecution(DVCRDwarfExpressionMachine* machine) {
  const uint64_t length = DVCRParseULEB128AndAdvance(&machine->position);
  if (length == 0) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: DWARF expression length is zero");
    return false;
  }
  machine->end = machine->position + length;
  return true;
}

bool DVCRDwarfExpressionMachineIsFinished(const DVCRDwarfExpressionMachine* machine) {
  if (!isValid(machine)) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: DWARF machine stack invalid");
    return true;
  }
  return machine->position >= machine->end;
}

bool DVCRDwarfExpressionMachineExecuteNextOpcode(DVCRDwarfExpressionMachine* machine) {
  const uint8_t opcode = DVCRParseUint8AndAdvance(&machine->position);
  uint64_t a, b;
  if (opcode >= 0x30 && opcode <= 0x4F) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] DW_OP_lit %u", static_cast<unsigned>(opcode - 0x30));
    return push(machine, opcode - 0x30);
  }
  if (opcode >= 0x70 && opcode <= 0x8F) {
    const int64_t offset = DVCRParseLEB128AndAdvance(&machine->position);
    const uint64_t value = DVCRDwarfUnwindGetRegisterValue(machine->registers, opcode - 0x70);
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] DW_OP_breg %d value %d", opcode - 0x70, static_cast<int>(offset));
    return push(machine, value + static_cast<uint64_t>(offset));
  }
  switch (opcode) {
    case 0x06:
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] DW_OP_deref");
      return derefSized(machine, 8);
    case 0x12:
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] DW_OP_dup");
      return pop(machine, &a) && push(machine, a) && push(machine, a);
    case 0x16:
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] DW_OP_swap");
      return popTwo(machine, &a, &b) && push(machine, a) && push(machine, b);
    case 0x1A:
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] DW_OP_plus_and");
      return popTwo(machine, &a, &b) && push(machine, a & b);
    case 0x22:
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] DW_OP_plus");
      return popTwo(machine, &a, &b) && push(machine, a + b);
    case 0x23: {
      const uint64_t operand = DVCRParseULEB128AndAdvance(&machine->position);
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] DW_OP_plus_uconst %u", static_cast<unsigned>(operand));
      return pop(machine, &a) && push(machine, a + operand);
    }
    case 0x2E:
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] DW_OP_ne");
      return popTwo(machine, &a, &b) && push(machine, a != b ? 1 : 0);
    case 0x94: {
      const uint8_t size = DVCRParseUint8AndAdvance(&machine->position);
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] DW_OP_deref_size %u", static_cast<unsigned>(size));
      return derefSized(machine, size);
    }
    default:
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: Unrecognized DWARF expression opcode 0x%x", static_cast<unsigned>(opcode));
      return false;
  }
}

bool DVCRDwarfExpressionMachineGetResult(const DVCRDwarfExpressionMachine* machine, uint64_t* result) {
  if (machine->position != machine->end) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: DWARF expression hasn't completed execution");
    return false;
  }
  if (!isValid(machine) || machine->depth == 0) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: failed to get DWARF expression result");
    return false;
  }
  *result = machine->stack[machine->depth - 1];
  return true;
}

bool DVCRDwarfEvalulateExpression(uintptr_t expression, const DVCRThreadState* registers, uint64_t initialValue,
                                  uint64_t* result) {
  DVCR_UNWIND_LOG(3, "WARN  [%s:%d] starting at %p with initial value %lx", reinterpret_cast<void*>(expression),
                  initialValue);
  if (expression < kDVCRMinimumValidAddress || result == nullptr) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: inputs invalid");
    return false;
  }
  DVCRDwarfExpressionMachine machine;
  if (!DVCRDwarfExpressionMachineInit(&machine, expression, registers, initialValue)) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: unable to init DWARF expression machine");
    return false;
  }
  if (!DVCRDwarfExpressionMachinePrepareForExecution(&machine)) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: unable to prepare for execution");
    return false;
  }
  while (!DVCRDwarfExpressionMachineIsFinished(&machine)) {
    if (!DVCRDwarfExpressionMachineExecuteNextOpcode(&machine)) {
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: failed to execute DWARF machine opcode");
      return false;
    }
  }
  if (!DVCRDwarfExpressionMachineGetResult(&machine, result)) return false;
  DVCR_UNWIND_LOG(3, "WARN  [%s:%d] successfully computed expression result");
  return true;
}
