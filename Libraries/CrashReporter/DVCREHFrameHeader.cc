#include "Libraries/CrashReporter/DVCREHFrameHeader.h"

#include <cstring>

#include "Libraries/CrashReporter/DVCRUnwindSupport.h"

namespace {

constexpr uint8_t kVersion = 1;
constexpr uint8_t kPCRelativeSigned32 = 0x1B;
constexpr uint8_t kUnsigned32 = 0x03;
constexpr uint8_t kHeaderRelativeSigned32 = 0x3B;

struct FixedPart {
  uint8_t version;
  uint8_t ehFramePointerEncoding;
  uint8_t fdeCountEncoding;
  uint8_t tableEncoding;
  int32_t ehFramePointer;
  uint32_t fdeCount;
};
static_assert(sizeof(FixedPart) == 12);

struct TableEntry {
  int32_t start;
  int32_t fde;
};

// Read safely each time: the image may have been unmapped since the
// header was checked.
bool entryAt(const DVCREHFrameHeader& header, uint32_t index, TableEntry* entry) {
  return DVCRUnwindReadMemory(header.table + uint64_t{index} * sizeof *entry, entry, sizeof *entry);
}

}  // namespace

bool DVCREHFrameHeaderInit(DVCREHFrameHeader* header, uintptr_t address) {
  *header = DVCREHFrameHeader{};
  FixedPart fixed;
  if (!DVCRUnwindReadMemory(address, &fixed, sizeof fixed)) {
    DVCRSDKLogWarn("Error: could not read the eh_frame_hdr at %p\n", reinterpret_cast<void*>(address));
    return false;
  }
  if (fixed.version != kVersion || fixed.ehFramePointerEncoding != kPCRelativeSigned32 ||
      fixed.fdeCountEncoding != kUnsigned32 || fixed.tableEncoding != kHeaderRelativeSigned32) {
    DVCRSDKLogWarn("Error: unsupported eh_frame_hdr layout at %p\n", reinterpret_cast<void*>(address));
    return false;
  }
  TableEntry last;
  const uintptr_t table = address + sizeof fixed;
  if (fixed.fdeCount == 0 ||
      !DVCRUnwindReadMemory(table + (uint64_t{fixed.fdeCount} - 1) * sizeof last, &last, sizeof last)) {
    DVCRSDKLogWarn("Error: could not read the eh_frame_hdr table at %p\n",
                    reinterpret_cast<void*>(table));
    return false;
  }
  header->address = address;
  header->ehFrame = address + offsetof(FixedPart, ehFramePointer) + static_cast<int64_t>(fixed.ehFramePointer);
  header->fdeCount = fixed.fdeCount;
  header->table = table;
  return true;
}

bool DVCREHFrameHeaderFindFDE(const DVCREHFrameHeader& header, uint64_t pc, uintptr_t* fde) {
  const int64_t target = static_cast<int64_t>(pc - header.address);
  TableEntry entry;
  if (header.fdeCount == 0 || !entryAt(header, 0, &entry) || target < entry.start) return false;
  // The last entry whose start is at or below the target.
  uint32_t low = 0, high = header.fdeCount;
  while (high - low > 1) {
    const uint32_t middle = low + (high - low) / 2;
    if (!entryAt(header, middle, &entry)) return false;
    if (entry.start <= target)
      low = middle;
    else
      high = middle;
  }
  if (!entryAt(header, low, &entry)) return false;
  *fde = header.address + static_cast<int64_t>(entry.fde);
  return true;
}
