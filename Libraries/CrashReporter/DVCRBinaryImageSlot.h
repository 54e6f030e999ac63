// The fixed table of loaded images that crash-time code searches without
// locks: per image its base address, the size of its text, and the
// addresses of its unwind tables and crash-info record. The table lives in
// the writable crash context; DVCRBinaryImage.h keeps it current.
//
// A slot's base is published with a compare-and-swap from 0 and its size is
// stored last, so a reader sees a free slot (base 0), a live slot, or a slot
// that matches no address (size 0: an image being added, or one unloaded,
// which keeps its base and is never taken again).
#pragma once

#include <cstddef>
#include <cstdint>

#include "Libraries/CrashReporter/DVCRFile.h"

inline constexpr size_t kDVCRBinaryImageSlotCount = 1024;

struct DVCRBinaryImageSlot {
  uint64_t baseAddress;  // the image's header; 0 = free. Read and written atomically.
  uint64_t size;         // from the base to the end of its text; 0 = matches nothing. Atomic too.
  uint64_t ehFrame;      // its .eh_frame_hdr (GNU_EH_FRAME segment), or 0
  uint64_t unwindInfo;   // its compact unwind table, or 0
  uint64_t crashInfo;    // its crash-info record, or 0
};
static_assert(sizeof(DVCRBinaryImageSlot) == 40);

// The writable context's part: the slots and the record file of
// "binary_images.dvrecord" while it is open (fd -1 otherwise).
struct DVCRBinaryImageWritableContext {
  DVCRFile file;
  DVCRBinaryImageSlot slots[kDVCRBinaryImageSlotCount];
};

// The table of the writable context; null before there is one.
DVCRBinaryImageSlot* DVCRBinaryImageSlots();

// The first slot with baseAddress <= address < baseAddress + size, copied
// out; false when none holds the address, for an output below 4,096,
// address 0, or a context that is not ready. Signal-safe.
bool DVCRBinaryImageSafeFindImageForAddress(uint64_t address, DVCRBinaryImageSlot* slot);
// Whether the image carries a compact unwind table.
bool DVCRBinaryImageSafeHasUnwindInfo(const DVCRBinaryImageSlot& slot);
