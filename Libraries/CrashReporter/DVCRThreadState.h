// One thread's registers as a signal's ucontext_t holds them (x86_64), and
// the accessors the unwinder reads and writes them through. pc is rip, sp
// is rsp, fp is rbp; there is no link register. Nothing is masked: every
// bit of an x86_64 address is meaningful.
//
// DWARF numbers the registers 0 rax, 1 rdx, 2 rcx, 3 rbx, 4 rsi, 5 rdi,
// 6 rbp, 7 rsp, 8-15 r8-r15, and 16 the return-address column, which is the
// pc: setting it sets the pc. Other numbers are refused with a log line.
//
// Every function here is safe inside a signal handler and allocates nothing.
#pragma once

#include <sys/ucontext.h>

#include <cstdint>

using DVCRThreadState = mcontext_t;

// Addresses below one page are never valid: null and small integers.
inline constexpr uint64_t kDVCRMinimumValidAddress = 4096;
// DWARF's return-address column on x86_64.
inline constexpr uint64_t kDVCRDwarfReturnAddressRegister = 16;

// none -> 0.
uint64_t DVCRThreadContextGetPC(const DVCRThreadState* registers);
uint64_t DVCRThreadContextGetStackPointer(const DVCRThreadState* registers);
// A value below 4,096 -> 0, as for none.
uint64_t DVCRThreadContextGetFramePointer(const DVCRThreadState* registers);

// Store the value as given; false only for none.
bool DVCRThreadContextSetPC(DVCRThreadState* registers, uint64_t value);
// Store the value as given; false for none or a value below 4,096.
bool DVCRThreadContextSetStackPointer(DVCRThreadState* registers, uint64_t value);
bool DVCRThreadContextSetFramePointer(DVCRThreadState* registers, uint64_t value);

// By DWARF register number. An unknown number reads as 0 and is not set,
// each with its log line. Values are read and stored as they are: on
// x86_64 rbp is a general register in code built without frame pointers,
// so any value it held is restored.
uint64_t DVCRDwarfUnwindGetRegisterValue(const DVCRThreadState* registers, uint64_t number);
bool DVCRDwarfUnwindSetRegisterValue(DVCRThreadState* registers, uint64_t number, uint64_t value);
