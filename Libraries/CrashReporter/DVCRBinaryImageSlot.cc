#include "Libraries/CrashReporter/DVCRBinaryImageSlot.h"

#include "Libraries/CrashReporter/DVCRThreadState.h"

namespace {
DVCRBinaryImageSlot slots[kDVCRBinaryImageSlotCount];
}  // namespace

DVCRBinaryImageSlot* DVCRBinaryImageSlots() { return slots; }

bool DVCRBinaryImageSafeFindImageForAddress(uint64_t address, DVCRBinaryImageSlot* slot) {
  if (reinterpret_cast<uintptr_t>(slot) < kDVCRMinimumValidAddress || address == 0) return false;
  for (const DVCRBinaryImageSlot& candidate : slots) {
    const uint64_t base = __atomic_load_n(&candidate.baseAddress, __ATOMIC_ACQUIRE);
    // No image lies beyond the first free slot (see the header).
    if (base == 0) return false;
    if (address < base) continue;
    const uint64_t size = __atomic_load_n(&candidate.size, __ATOMIC_ACQUIRE);
    if (address - base >= size) continue;
    *slot = DVCRBinaryImageSlot{base, size, candidate.ehFrame, candidate.unwindInfo, candidate.crashInfo};
    return true;
  }
  return false;
}

bool DVCRBinaryImageSafeHasUnwindInfo(const DVCRBinaryImageSlot& slot) {
  return slot.unwindInfo >= kDVCRMinimumValidAddress;
}
