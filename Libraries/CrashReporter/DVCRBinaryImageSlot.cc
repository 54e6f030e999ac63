#include "Libraries/CrashReporter/DVCRBinaryImageSlot.h"

#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRThreadState.h"

DVCRBinaryImageSlot* DVCRBinaryImageSlots() {
  DVCRWritableContext* writable = DVCRContextWritable();
  return writable != nullptr ? writable->binaryImage.slots : nullptr;
}

bool DVCRBinaryImageSafeFindImageForAddress(uint64_t address, DVCRBinaryImageSlot* slot) {
  if (reinterpret_cast<uintptr_t>(slot) < kDVCRMinimumValidAddress || address == 0 || !DVCRContextIsReady())
    return false;
  DVCRBinaryImageSlot* slots = DVCRBinaryImageSlots();
  if (slots == nullptr) return false;
  for (size_t i = 0; i < kDVCRBinaryImageSlotCount; ++i) {
    const DVCRBinaryImageSlot& candidate = slots[i];
    const uint64_t base = __atomic_load_n(&candidate.baseAddress, __ATOMIC_ACQUIRE);
    if (base == 0 || address < base) continue;
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
