// The fixed table of loaded images that crash-time code searches without
// locks: per image its base address, the size of its text, and the
// addresses of its unwind tables.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kDVCRBinaryImageSlotCount = 1024;

struct DVCRBinaryImageSlot {
  uint64_t baseAddress;  // the image's header; 0 = free. Read and written atomically.
  uint64_t size;         // from the base to the end of its text
  uint64_t ehFrame;      // its .eh_frame_hdr (GNU_EH_FRAME segment), or 0
  uint64_t unwindInfo;   // its compact unwind table, or 0
};

// The table itself, all slots free at start.
DVCRBinaryImageSlot* DVCRBinaryImageSlots();

// The first slot with baseAddress <= address < baseAddress + size, copied
// out; false when none holds the address.
bool DVCRBinaryImageSafeFindImageForAddress(uint64_t address, DVCRBinaryImageSlot* slot);
// Whether the image carries a compact unwind table.
bool DVCRBinaryImageSafeHasUnwindInfo(const DVCRBinaryImageSlot& slot);
