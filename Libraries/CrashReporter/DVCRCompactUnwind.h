// The compact unwind table ("__unwind_info") some images carry: a
// first-level index of 12-byte entries {function offset, second-level page
// offset, LSDA offset} ending in a sentinel, and second-level pages that
// give each function a 32-bit encoding. Offsets are from the image's load
// address; page offsets from the section's start.
//
// Compressed pages (kind 3) are looked up; regular pages (kind 2) are
// refused, and the unwinder falls back to the frame-pointer chain. An
// encoding's mode (bits 0x0F000000) says how to unwind: 0x04000000 with the
// frame-pointer chain, 0x03000000 with the DWARF FDE at the low 24 bits
// (an offset into `ehFrame`), 0x02000000 as a frameless function whose
// return address is at the stack pointer. Its other bits are not used.
//
// The 28-byte header is read with the safe read; the index and pages are
// then read directly. Nothing is allocated.
#pragma once

#include <cstdint>

#include "Libraries/CrashReporter/DVCRDwarfRecords.h"

#include "Libraries/CrashReporter/DVCRThreadState.h"

inline constexpr uint32_t kDVCRCompactUnwindModeMask = 0x0F000000;
inline constexpr uint32_t kDVCRCompactUnwindModeFrame = 0x04000000;
inline constexpr uint32_t kDVCRCompactUnwindModeDwarf = 0x03000000;
inline constexpr uint32_t kDVCRCompactUnwindModeFrameless = 0x02000000;
inline constexpr uint32_t kDVCRCompactUnwindDwarfOffsetMask = 0x00FFFFFF;

struct DVCRCompactUnwindHeader {
  uint32_t version;
  uint32_t commonEncodingsOffset;
  uint32_t commonEncodingsCount;
  uint32_t personalityOffset;
  uint32_t personalityCount;
  uint32_t indexOffset;
  uint32_t indexCount;
};
static_assert(sizeof(DVCRCompactUnwindHeader) == 28);

struct DVCRCompactUnwindFirstLevel {
  uint32_t functionOffset;
  uint32_t secondLevelPageOffset;
  uint32_t lsdaOffset;
  uint32_t nextFunctionOffset;
};

struct DVCRCompactUnwindContext {
  uintptr_t unwindInfo;
  DVCRDwarfSection ehFrame;  // where the FDEs that entries name may lie
  uintptr_t loadAddress;
  DVCRCompactUnwindHeader header;
  DVCRCompactUnwindFirstLevel firstLevel;
};

struct DVCRCompactUnwindEntry {
  uint32_t encoding;
  uint64_t functionStart;
  uint64_t functionEnd;
  uint64_t personality;  // not used: always 0
  uint64_t lsda;         // not used: always 0
};

bool DVCRCompactUnwindInit(DVCRCompactUnwindContext* context, uintptr_t unwindInfo, const DVCRDwarfSection& ehFrame,
                           uintptr_t loadAddress);
// The entry of the function holding `pc`; false, with a log line, when the
// table has none (or none with unwind information).
bool DVCRCompactUnwindLookup(DVCRCompactUnwindContext* context, uint64_t pc, DVCRCompactUnwindEntry* entry);
bool DVCRCompactUnwindLookupFirstLevel(DVCRCompactUnwindContext* context, uint64_t pc);
bool DVCRCompactUnwindLookupSecondLevel(const DVCRCompactUnwindContext* context, uint64_t pc,
                                        DVCRCompactUnwindEntry* entry);
bool DVCRCompactUnwindLookupSecondLevelCompressed(const DVCRCompactUnwindContext* context, uint64_t pc,
                                                  uintptr_t page, DVCRCompactUnwindEntry* entry);
bool DVCRCompactUnwindLookupSecondLevelRegular(const DVCRCompactUnwindContext* context, uint64_t pc,
                                               uintptr_t page, DVCRCompactUnwindEntry* entry);
// The index of the last of `count` 32-bit entries whose low 24 bits are at
// most `target`; false when the first is already above it.
bool DVCRCompactUnwindBinarySearch(uintptr_t entries, uint32_t count, uint32_t target, uint32_t* index);
// The PC's offset from the first-level function's start.
uint32_t DVCRCompactUnwindGetTargetAddress(const DVCRCompactUnwindContext* context, uint64_t pc);

// Looks up the registers' PC and unwinds one frame by its encoding.
bool DVCRCompactUnwindLookupAndCompute(DVCRCompactUnwindContext* context, DVCRThreadState* registers);
bool DVCRCompactUnwindComputeRegisters(DVCRCompactUnwindContext* context, const DVCRCompactUnwindEntry& entry,
                                       DVCRThreadState* registers);
bool DVCRCompactUnwindDwarfFrame(DVCRCompactUnwindContext* context, uint32_t fdeOffset, DVCRThreadState* registers);
