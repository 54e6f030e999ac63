// The stack machine for the DWARF expressions a CFA or register rule may
// use. An expression is length-prefixed (ULEB128). Supported: deref,
// deref_size, dup, swap, and, plus, plus_uconst, ne, lit0-lit31 and
// breg0-breg31; any other opcode fails. The machine lives on the caller's
// stack; memory is read only through the safe read.
#pragma once

#include <cstdint>

#include "Libraries/CrashReporter/DVCRThreadState.h"

inline constexpr int kDVCRDwarfExpressionStackSize = 100;

struct DVCRDwarfExpressionMachine {
  uint64_t stack[kDVCRDwarfExpressionStackSize];
  // Entries in use; pushing onto a full stack or popping an empty one makes
  // it invalid (-1), and every later operation fails.
  int depth = 0;
  uintptr_t position = 0;
  uintptr_t end = 0;
  const DVCRThreadState* registers = nullptr;
};

bool DVCRDwarfExpressionMachineInit(DVCRDwarfExpressionMachine* machine, uintptr_t expression,
                                    const DVCRThreadState* registers, uint64_t initialValue);
bool DVCRDwarfExpressionMachinePrepareForExecution(DVCRDwarfExpressionMachine* machine);
bool DVCRDwarfExpressionMachineIsFinished(const DVCRDwarfExpressionMachine* machine);
bool DVCRDwarfExpressionMachineExecuteNextOpcode(DVCRDwarfExpressionMachine* machine);
bool DVCRDwarfExpressionMachineGetResult(const DVCRDwarfExpressionMachine* machine, uint64_t* result);

// The value of the expression at `expression`, run with `initialValue` on
// the stack: the top of the stack once exactly the whole expression ran.
bool DVCRDwarfEvalulateExpression(uintptr_t expression, const DVCRThreadState* registers, uint64_t initialValue,
                                  uint64_t* result);
