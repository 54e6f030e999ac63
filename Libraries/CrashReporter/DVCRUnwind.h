// Turning a thread's registers into its return addresses, one frame at a
// time, inside a crashing process: nothing is allocated, all state lives in
// the caller's DVCRUnwindContext, and the stack is read only through the
// safe read.
//
//   DVCRUnwindContext unwind;
//   DVCRUnwindInit(&unwind, &threadState);
//   while (DVCRUnwindNextFrame(&unwind)) record(DVCRUnwindGetPC(&unwind));
//
// The first frame is the thread's own PC, as it is. Each later frame is
// found from the one before: its image (the binary-image slots) gives the
// unwind tables, its compact unwind table when it has one, else the DWARF
// FDE found through its .eh_frame_hdr; when those fail, the frame-pointer
// chain ({saved rbp, return address} at rbp). For the second frame, a
// frameless function may have been interrupted, so the fallback first tries
// the return address at the stack pointer. Tables are looked up at the
// interrupted PC itself, and at a return address minus 1 (the call, not
// what follows it); the recorded frames are the return addresses.
//
// The stack and the tables are read through the context's read cache,
// which copies memory a block at a time (DVCRSafeRead.h), and the rules the
// DWARF tables give for a PC are kept for frames that return to it again:
// the walk assumes they hold still until it ends, as a stopped thread's do.
//
// The stack ends at a PC below 4,096 (a zero frame pointer, an undefined
// return address), when every way fails, or after 100,000 frames.
#pragma once

#include <cstdint>

#include "Libraries/CrashReporter/DVCRCompactUnwind.h"
#include "Libraries/CrashReporter/DVCRDwarfInstructions.h"
#include "Libraries/CrashReporter/DVCREHFrameHeader.h"
#include "Libraries/CrashReporter/DVCRSafeRead.h"
#include "Libraries/CrashReporter/DVCRThreadState.h"

inline constexpr uint32_t kDVCRUnwindMaximumFrames = 100000;

// Rules worked out from an image's DWARF tables for one PC, kept for the
// rest of the unwind: a recursion returns to the same PC frame after frame,
// and its tables need not be searched and run again for each.
struct DVCRUnwindCachedRules {
  uint64_t pc;
  uintptr_t ehFrame;  // of the image they were read from
  DVCRDwarfState rules;
};
inline constexpr int kDVCRUnwindCachedRulesCount = 4;

struct DVCRUnwindContext {
  DVCRThreadState registers;  // of the current frame
  uint32_t frameCount;        // frames produced so far
  DVCRCompactUnwindContext compactUnwindContext;
  // The last .eh_frame_hdr checked: consecutive frames are mostly in one
  // image, and its header need not be read again.
  DVCREHFrameHeader ehFrameHeader;
  uint64_t lastFramePC;
  uint32_t repeatCount;  // how many frames just before this one had its PC
  DVCRSafeReadCache readCache;  // for the whole unwind
  DVCRUnwindCachedRules cachedRules[kDVCRUnwindCachedRulesCount];
  uint32_t cachedRulesCount;  // filled entries
  uint32_t nextCachedRules;   // the entry the next rules replace
};

// Zeroes the context (the cache's copies are only marked empty) and copies
// the registers; false only for no context.
bool DVCRUnwindInit(DVCRUnwindContext* context, const DVCRThreadState* threadState);
// Advances to the next frame; false at the end of the stack or on error.
bool DVCRUnwindNextFrame(DVCRUnwindContext* context);
// The current frame's PC; 0 for no context.
uint64_t DVCRUnwindGetPC(const DVCRUnwindContext* context);
uint32_t DVCRUnwindGetFrameRepeatCount(const DVCRUnwindContext* context);
bool DVCRUnwindContextHasValidPCAndSP(const DVCRUnwindContext* context);

// One frame up the frame-pointer chain: pc = return address, rbp = saved
// rbp, sp = old rbp + 16. With `tryStackReturnAddress`, first treat the
// function as frameless and take the return address at the stack pointer.
bool DVCRUnwindWithFramePointer(DVCRThreadState* registers, bool tryStackReturnAddress);
// A frameless function's caller: pc = the word at sp (at least 4,096),
// sp += 8.
bool DVCRUnwindWithStackReturnAddress(DVCRThreadState* registers);
