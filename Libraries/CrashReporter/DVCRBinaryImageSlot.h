// The fixed table of loaded images that crash-time code searches without
// locks: per image its base address, the size of its text, and the
// addresses of its unwind tables and crash-info record. DVCRBinaryImage.h
// keeps it current.
//
// An image takes the first free slot: its base is published with a
// compare-and-swap from 0 and its size is stored last, so a reader sees a
// free slot (base 0), a live slot, or a slot that matches no address
// (size 0: an image being added, or one unloaded, which keeps its base and
// is never taken again). So the slots in use are always the first ones.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kDVCRBinaryImageSlotCount = 1024;

struct DVCRBinaryImageSlot {
  uint64_t baseAddress;  // the image's header; 0 = free. Read and written atomically.
  uint64_t size;         // from the base to the end of its text; 0 = matches nothing. Atomic too.
  uint64_t ehFrame;      // its .eh_frame_hdr (GNU_EH_FRAME segment), or 0
  uint64_t unwindInfo;   // its compact unwind table, or 0
  uint64_t crashInfo;    // its crash-info record, or 0
};
static_assert(sizeof(DVCRBinaryImageSlot) == 40);

// The table itself, all slots free at start.
DVCRBinaryImageSlot* DVCRBinaryImageSlots();

// The first slot with baseAddress <= address < baseAddress + size, copied
// out; false when none holds the address, for an output below 4,096 or
// address 0. Signal-safe.
bool DVCRBinaryImageSafeFindImageForAddress(uint64_t address, DVCRBinaryImageSlot* slot);
// Whether the image carries a compact unwind table.
bool DVCRBinaryImageSafeHasUnwindInfo(const DVCRBinaryImageSlot& slot);
