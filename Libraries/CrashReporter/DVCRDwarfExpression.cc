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
    DVCRSDKLogWarn("Error: unrecognized DW_OP_deref_size argument %x\n", static_cast<unsigned>(size));
    return false;
  }
  uint64_t value = 0;  // little-endian: the low bytes are the value
  if (!DVCRUnwindReadMemory(address, &value, size)) {
    DVCRSDKLogWarn("Error: DW_OP_deref failed to read memory\n");
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
  // The length prefix, read safely; the expression's own bytes were found
  // inside its record when its rule was made.
  DVCRDwarfCursor cursor{machine->position, UINTPTR_MAX, false};
  const uint64_t length = DVCRParseULEB128AndAdvance(&cursor);
  if (cursor.failed || length > UINTPTR_MAX - cursor.position) {
    DVCRSDKLogWarn("Error: DWARF expression length unreadable\n");
    return false;
  }
  if (length == 0) {
    DVCRSDKLogWarn("Error: DWARF expression length is zero\n");
    return false;
  }
  machine->position = cursor.position;
  machine->end = machine->position + length;
  return true;
}

bool DVCRDwarfExpressionMachineIsFinished(const DVCRDwarfExpressionMachine* machine) {
  if (!isValid(machine)) {
    DVCRSDKLogWarn("Error: DWARF machine stack invalid\n");
    return true;
  }
  return machine->position >= machine->end;
}

namespace {

// One opcode and its operands, none read past the expression's end.
bool executeOpcode(DVCRDwarfExpressionMachine* machine, DVCRDwarfCursor* cursor);

}  // namespace

bool DVCRDwarfExpressionMachineExecuteNextOpcode(DVCRDwarfExpressionMachine* machine) {
  DVCRDwarfCursor cursor{machine->position, machine->end, false};
  const bool executed = executeOpcode(machine, &cursor);
  machine->position = cursor.position;
  if (cursor.failed) {
    DVCRSDKLogWarn("Error: DWARF expression operand runs past its end\n");
    return false;
  }
  return executed;
}

namespace {

bool executeOpcode(DVCRDwarfExpressionMachine* machine, DVCRDwarfCursor* cursor) {
  const uint8_t opcode = DVCRParseUint8AndAdvance(cursor);
  if (cursor->failed) return false;
  uint64_t a, b;
  if (opcode >= 0x30 && opcode <= 0x4F) {
    DVCRSDKLogDebug("DW_OP_lit %u\n", static_cast<unsigned>(opcode - 0x30));
    return push(machine, opcode - 0x30);
  }
  if (opcode >= 0x70 && opcode <= 0x8F) {
    const int64_t offset = DVCRParseLEB128AndAdvance(cursor);
    const uint64_t value = DVCRDwarfUnwindGetRegisterValue(machine->registers, opcode - 0x70);
    DVCRSDKLogDebug("DW_OP_breg %d value %d\n", opcode - 0x70, static_cast<int>(offset));
    return push(machine, value + static_cast<uint64_t>(offset));
  }
  switch (opcode) {
    case 0x06:
      DVCRSDKLogDebug("DW_OP_deref\n");
      return derefSized(machine, 8);
    case 0x12:
      DVCRSDKLogDebug("DW_OP_dup\n");
      return pop(machine, &a) && push(machine, a) && push(machine, a);
    case 0x16:
      DVCRSDKLogDebug("DW_OP_swap\n");
      return popTwo(machine, &a, &b) && push(machine, a) && push(machine, b);
    case 0x1A:
      DVCRSDKLogDebug("DW_OP_plus_and\n");
      return popTwo(machine, &a, &b) && push(machine, a & b);
    case 0x22:
      DVCRSDKLogDebug("DW_OP_plus\n");
      return popTwo(machine, &a, &b) && push(machine, a + b);
    case 0x23: {
      const uint64_t operand = DVCRParseULEB128AndAdvance(cursor);
      DVCRSDKLogDebug("DW_OP_plus_uconst %u\n", static_cast<unsigned>(operand));
      return pop(machine, &a) && push(machine, a + operand);
    }
    case 0x2E:
      DVCRSDKLogDebug("DW_OP_ne\n");
      return popTwo(machine, &a, &b) && push(machine, a != b ? 1 : 0);
    case 0x94: {
      const uint8_t size = DVCRParseUint8AndAdvance(cursor);
      DVCRSDKLogDebug("DW_OP_deref_size %u\n", static_cast<unsigned>(size));
      return derefSized(machine, size);
    }
    default:
      DVCRSDKLogWarn("Error: Unrecognized DWARF expression opcode 0x%x\n", static_cast<unsigned>(opcode));
      return false;
  }
}

}  // namespace

bool DVCRDwarfExpressionMachineGetResult(const DVCRDwarfExpressionMachine* machine, uint64_t* result) {
  if (machine->position != machine->end) {
    DVCRSDKLogWarn("Error: DWARF expression hasn't completed execution\n");
    return false;
  }
  if (!isValid(machine) || machine->depth == 0) {
    DVCRSDKLogWarn("Error: failed to get DWARF expression result\n");
    return false;
  }
  *result = machine->stack[machine->depth - 1];
  return true;
}

bool DVCRDwarfEvalulateExpression(uintptr_t expression, const DVCRThreadState* registers, uint64_t initialValue,
                                  uint64_t* result) {
  DVCRSDKLogDebug("starting at %p with initial value %lx\n", reinterpret_cast<void*>(expression),
                  initialValue);
  if (expression < kDVCRMinimumValidAddress || result == nullptr) {
    DVCRSDKLogWarn("Error: inputs invalid\n");
    return false;
  }
  DVCRDwarfExpressionMachine machine;
  if (!DVCRDwarfExpressionMachineInit(&machine, expression, registers, initialValue)) {
    DVCRSDKLogWarn("Error: unable to init DWARF expression machine\n");
    return false;
  }
  if (!DVCRDwarfExpressionMachinePrepareForExecution(&machine)) {
    DVCRSDKLogWarn("Error: unable to prepare for execution\n");
    return false;
  }
  while (!DVCRDwarfExpressionMachineIsFinished(&machine)) {
    if (!DVCRDwarfExpressionMachineExecuteNextOpcode(&machine)) {
      DVCRSDKLogWarn("Error: failed to execute DWARF machine opcode\n");
      return false;
    }
  }
  if (!DVCRDwarfExpressionMachineGetResult(&machine, result)) return false;
  DVCRSDKLogDebug("successfully computed expression result\n");
  return true;
}
