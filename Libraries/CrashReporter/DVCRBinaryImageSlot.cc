#include "Libraries/CrashReporter/DVCRBinaryImageSlot.h"

#include <atomic>

#include "Libraries/CrashReporter/DVCRThreadState.h"

namespace {

DVCRBinaryImageSlot slots[kDVCRBinaryImageSlotCount];

// Every field is read and written atomically (relaxed; the sequence orders
// them), so a reader racing a writer reads torn values at worst, which the
// sequence check then throws away.
uint64_t load(const uint64_t& field) { return __atomic_load_n(&field, __ATOMIC_RELAXED); }
void store(uint64_t& field, uint64_t value) { __atomic_store_n(&field, value, __ATOMIC_RELAXED); }

void beginChange(DVCRBinaryImageSlot* slot) {
  __atomic_store_n(&slot->sequence, load(slot->sequence) + 1, __ATOMIC_RELAXED);
  std::atomic_thread_fence(std::memory_order_release);
}
void endChange(DVCRBinaryImageSlot* slot) {
  __atomic_store_n(&slot->sequence, load(slot->sequence) + 1, __ATOMIC_RELEASE);
}

void storeFields(DVCRBinaryImageSlot* slot, const DVCRBinaryImageSlot& image) {
  store(slot->baseAddress, image.baseAddress);
  store(slot->size, image.size);
  store(slot->ehFrame, image.ehFrame);
  store(slot->unwindInfo, image.unwindInfo);
  store(slot->crashInfo, image.crashInfo);
  store(slot->ehFrameSection, image.ehFrameSection);
  store(slot->ehFrameSectionSize, image.ehFrameSectionSize);
}

}  // namespace

DVCRBinaryImageSlot* DVCRBinaryImageSlots() { return slots; }

bool DVCRBinaryImageSlotCopy(const DVCRBinaryImageSlot& slot, DVCRBinaryImageSlot* copy) {
  const uint64_t before = __atomic_load_n(&slot.sequence, __ATOMIC_ACQUIRE);
  if (before % 2 != 0) return false;
  DVCRBinaryImageSlot read{load(slot.baseAddress),    load(slot.size),           load(slot.ehFrame),
                           load(slot.unwindInfo),     load(slot.crashInfo),      load(slot.ehFrameSection),
                           load(slot.ehFrameSectionSize), before};
  std::atomic_thread_fence(std::memory_order_acquire);
  if (load(slot.sequence) != before) return false;
  *copy = read;
  return true;
}

void DVCRBinaryImageSlotPublish(DVCRBinaryImageSlot* slot, const DVCRBinaryImageSlot& image) {
  beginChange(slot);
  storeFields(slot, image);
  endChange(slot);
}

void DVCRBinaryImageSlotRetire(DVCRBinaryImageSlot* slot) {
  DVCRBinaryImageSlot retired{};
  retired.baseAddress = kDVCRBinaryImageRetiredBase;
  beginChange(slot);
  storeFields(slot, retired);
  endChange(slot);
}

bool DVCRBinaryImageSafeFindImageForAddress(uint64_t address, DVCRBinaryImageSlot* slot) {
  if (reinterpret_cast<uintptr_t>(slot) < kDVCRMinimumValidAddress || address == 0) return false;
  for (const DVCRBinaryImageSlot& candidate : slots) {
    // No image lies beyond the first free slot (see the header). A slot
    // that changes meanwhile is read again: its writer never waits on us.
    DVCRBinaryImageSlot copy;
    bool copied = false;
    for (int attempt = 0; attempt < 4 && !(copied = DVCRBinaryImageSlotCopy(candidate, &copy)); ++attempt) {
    }
    if (!copied) {
      if (__atomic_load_n(&candidate.baseAddress, __ATOMIC_ACQUIRE) == 0) return false;
      continue;
    }
    if (copy.baseAddress == 0) return false;
    if (address < copy.baseAddress || address - copy.baseAddress >= copy.size) continue;
    *slot = copy;
    return true;
  }
  return false;
}

bool DVCRBinaryImageSafeHasUnwindInfo(const DVCRBinaryImageSlot& slot) {
  return slot.unwindInfo >= kDVCRMinimumValidAddress;
}
