#include "Libraries/CrashReporter/DVCRCompactUnwind.h"

#include <cstring>

#include "Libraries/CrashReporter/DVCRDwarfRecords.h"
#include "Libraries/CrashReporter/DVCRDwarfUnwind.h"
#include "Libraries/CrashReporter/DVCRUnwind.h"
#include "Libraries/CrashReporter/DVCRUnwindSupport.h"

namespace {

constexpr uint32_t kRegularPageKind = 2;
constexpr uint32_t kCompressedPageKind = 3;
constexpr uint32_t kIndexEntrySize = 12;

struct IndexEntry {
  uint32_t functionOffset;
  uint32_t secondLevelPageOffset;
  uint32_t lsdaOffset;
};

struct CompressedPageHeader {
  uint32_t kind;
  uint16_t entryOffset;
  uint16_t entryCount;
  uint16_t encodingsOffset;
  uint16_t encodingsCount;
};

template <class T>
T readAt(uintptr_t address) {
  T value;
  memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
  return value;
}

uint32_t entryFunctionOffset(uint32_t entry) { return entry & 0x00FFFFFF; }
uint32_t entryEncodingIndex(uint32_t entry) { return entry >> 24; }

}  // namespace

bool DVCRCompactUnwindInit(DVCRCompactUnwindContext* context, uintptr_t unwindInfo, const DVCRDwarfSection& ehFrame,
                           uintptr_t loadAddress) {
  if (reinterpret_cast<uintptr_t>(context) < kDVCRMinimumValidAddress) {
    DVCRSDKLogWarn("Error: invalid context passed to compact unwind init\n");
    return false;
  }
  if (unwindInfo < kDVCRMinimumValidAddress) {
    DVCRSDKLogWarn("Error: invalid unwind info passed to compact unwind init\n");
    return false;
  }
  if (loadAddress < kDVCRMinimumValidAddress) {
    DVCRSDKLogWarn("Error: invalid load address passed to compact unwind init\n");
    return false;
  }
  *context = DVCRCompactUnwindContext{};
  if (!DVCRUnwindReadMemory(unwindInfo, &context->header, sizeof context->header)) {
    DVCRSDKLogWarn("Error: could not read memory contents of unwindInfo\n");
    return false;
  }
  if (context->header.version != 1) {
    DVCRSDKLogWarn("Error: bad unwind_info structure version (%d != %d)\n",
                    static_cast<int>(context->header.version), 1);
    return false;
  }
  context->unwindInfo = unwindInfo;
  context->ehFrame = ehFrame;
  context->loadAddress = loadAddress;
  return true;
}

bool DVCRCompactUnwindLookupFirstLevel(DVCRCompactUnwindContext* context, uint64_t pc) {
  if (context->header.indexCount < 2 || pc < context->loadAddress) return false;
  const uint64_t offset = pc - context->loadAddress;
  const uintptr_t index = context->unwindInfo + context->header.indexOffset;
  for (uint32_t i = 0; i + 1 < context->header.indexCount; ++i) {
    const IndexEntry entry = readAt<IndexEntry>(index + uint64_t{i} * kIndexEntrySize);
    const IndexEntry next = readAt<IndexEntry>(index + uint64_t{i + 1} * kIndexEntrySize);
    if (entry.functionOffset <= offset && offset < next.functionOffset) {
      context->firstLevel = {entry.functionOffset, entry.secondLevelPageOffset, entry.lsdaOffset,
                             next.functionOffset};
      DVCRSDKLogDebug("Found first level (second => %u)\n", entry.secondLevelPageOffset);
      return true;
    }
  }
  DVCRSDKLogWarn("Unable to find pc in first level\n");
  return false;
}

uint32_t DVCRCompactUnwindGetTargetAddress(const DVCRCompactUnwindContext* context, uint64_t pc) {
  const uint64_t base = context->loadAddress + context->firstLevel.functionOffset;
  if (base > pc) {
    DVCRSDKLogWarn("Error: PC is invalid\n");
    return 0;
  }
  return static_cast<uint32_t>(pc - base);
}

bool DVCRCompactUnwindBinarySearch(uintptr_t entries, uint32_t count, uint32_t target, uint32_t* index) {
  if (count == 0 || entryFunctionOffset(readAt<uint32_t>(entries)) > target) return false;
  uint32_t low = 0, high = count;
  while (high - low > 1) {
    const uint32_t middle = low + (high - low) / 2;
    if (entryFunctionOffset(readAt<uint32_t>(entries + uint64_t{middle} * 4)) <= target)
      low = middle;
    else
      high = middle;
  }
  *index = low;
  return true;
}

bool DVCRCompactUnwindLookupSecondLevelCompressed(const DVCRCompactUnwindContext* context, uint64_t pc,
                                                  uintptr_t page, DVCRCompactUnwindEntry* entry) {
  const CompressedPageHeader header = readAt<CompressedPageHeader>(page);
  const uintptr_t entries = page + header.entryOffset;
  uint32_t index;
  if (!DVCRCompactUnwindBinarySearch(entries, header.entryCount, DVCRCompactUnwindGetTargetAddress(context, pc),
                                     &index)) {
    DVCRSDKLogInfo("Unable to find PC in second level\n");
    return false;
  }
  const uint32_t found = readAt<uint32_t>(entries + uint64_t{index} * 4);
  const uint64_t base = context->loadAddress + context->firstLevel.functionOffset;
  entry->functionStart = base + entryFunctionOffset(found);
  entry->functionEnd = index + 1 < header.entryCount
                           ? base + entryFunctionOffset(readAt<uint32_t>(entries + uint64_t{index + 1} * 4))
                           : context->loadAddress + context->firstLevel.nextFunctionOffset;
  if (pc < entry->functionStart || pc >= entry->functionEnd) {
    DVCRSDKLogWarn("PC does not match computed function range\n");
    return false;
  }
  const uint32_t encodingIndex = entryEncodingIndex(found);
  const uint32_t commonCount = context->header.commonEncodingsCount;
  if (encodingIndex >= commonCount) {
    // The page's own encodings follow the common ones; an index past them
    // is a damaged table.
    if (encodingIndex - commonCount >= header.encodingsCount) {
      DVCRSDKLogWarn("Error: encoding index %u out of range\n", encodingIndex);
      return false;
    }
    entry->encoding = readAt<uint32_t>(page + header.encodingsOffset + uint64_t{encodingIndex - commonCount} * 4);
  } else {
    entry->encoding =
        readAt<uint32_t>(context->unwindInfo + context->header.commonEncodingsOffset + uint64_t{encodingIndex} * 4);
  }
  if (entry->encoding == 0) {
    DVCRSDKLogInfo("Entry has has no unwind info\n");
    return false;
  }
  return true;
}

bool DVCRCompactUnwindLookupSecondLevelRegular(const DVCRCompactUnwindContext*, uint64_t, uintptr_t,
                                               DVCRCompactUnwindEntry*) {
  DVCRSDKLogWarn("Encountered a regular second-level page\n");
  return false;
}

bool DVCRCompactUnwindLookupSecondLevel(const DVCRCompactUnwindContext* context, uint64_t pc,
                                        DVCRCompactUnwindEntry* entry) {
  const uintptr_t page = context->unwindInfo + context->firstLevel.secondLevelPageOffset;
  switch (readAt<uint32_t>(page)) {
    case kCompressedPageKind:
      DVCRSDKLogInfo("Found a second level compressed header\n");
      return DVCRCompactUnwindLookupSecondLevelCompressed(context, pc, page, entry);
    case kRegularPageKind:
      DVCRSDKLogInfo("Found a second level regular header\n");
      return DVCRCompactUnwindLookupSecondLevelRegular(context, pc, page, entry);
    default:
      DVCRSDKLogError("Unrecognized header kind - unable to continue\n");
      return false;
  }
}

bool DVCRCompactUnwindLookup(DVCRCompactUnwindContext* context, uint64_t pc, DVCRCompactUnwindEntry* entry) {
  *entry = DVCRCompactUnwindEntry{};
  if (!DVCRCompactUnwindLookupFirstLevel(context, pc)) return false;
  if (!DVCRCompactUnwindLookupSecondLevel(context, pc, entry)) {
    DVCRSDKLogInfo("Second-level PC lookup failed\n");
    return false;
  }
  return true;
}

bool DVCRCompactUnwindDwarfFrame(DVCRCompactUnwindContext* context, uint32_t fdeOffset, DVCRThreadState* registers) {
  DVCRSDKLogInfo("Trying to read dwarf data with offset %lx\n", fdeOffset);
  DVCRDwarfCFIRecord record;
  if (context->ehFrame.start < kDVCRMinimumValidAddress ||
      !DVCRDwarfParseFDEAtOffset(&record, context->ehFrame, fdeOffset)) {
    DVCRSDKLogError("Unable to init FDE\n");
    return false;
  }
  if (!DVCRDwarfUnwindComputeRegisters(record, registers)) {
    DVCRSDKLogError("Failed to compute DWARF registers\n");
    return false;
  }
  return true;
}

bool DVCRCompactUnwindComputeRegisters(DVCRCompactUnwindContext* context, const DVCRCompactUnwindEntry& entry,
                                       DVCRThreadState* registers) {
  switch (entry.encoding & kDVCRCompactUnwindModeMask) {
    case kDVCRCompactUnwindModeFrame: return DVCRUnwindWithFramePointer(registers, false);
    case kDVCRCompactUnwindModeDwarf:
      return DVCRCompactUnwindDwarfFrame(context, entry.encoding & kDVCRCompactUnwindDwarfOffsetMask, registers);
    case kDVCRCompactUnwindModeFrameless: return DVCRUnwindWithStackReturnAddress(registers);
    default:
      DVCRSDKLogWarn("Invalid encoding 0x%x\n", entry.encoding);
      return false;
  }
}

bool DVCRCompactUnwindLookupAndCompute(DVCRCompactUnwindContext* context, DVCRThreadState* registers) {
  const uint64_t pc = DVCRThreadContextGetPC(registers);
  if (pc < context->loadAddress) return false;
  DVCRCompactUnwindEntry entry;
  if (!DVCRCompactUnwindLookup(context, pc, &entry)) {
    DVCRSDKLogInfo("Unable to lookup compact unwind for pc %p\n", reinterpret_cast<void*>(pc));
    return false;
  }
  if (!DVCRCompactUnwindComputeRegisters(context, entry, registers)) {
    DVCRSDKLogError("Failed to compute registers\n");
    return false;
  }
  return true;
}
