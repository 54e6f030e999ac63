// The fixed table of loaded images that crash-time code searches without
// locks: per image its base address, the size of its text, and the
// addresses of its unwind tables and crash-info record. DVCRBinaryImage.h
// keeps it current.
//
// Slots in use are always the first ones: a free slot (base 0) ends the
// search. An image takes the first free or retired slot; an unloaded
// image's slot is retired (base kDVCRBinaryImageRetiredBase, matching no
// address) and may be taken again, so the table lasts however many images
// come and go. Each change is made between two increments of the slot's
// `sequence` (odd while it changes); a reader copies a slot out and keeps
// the copy only when the sequence was even and unchanged around it, so it
// never mixes two images. The writers (the loader's callbacks) run one at
// a time.
//
// A copy may still describe an image unmapped since (or closed behind the
// loader's back): crash-time readers reach its memory only through the
// safe read, inside the extents the copy names.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kDVCRBinaryImageSlotCount = 1024;
// Below any mapping, so it matches no address; not 0, so the search goes on.
inline constexpr uint64_t kDVCRBinaryImageRetiredBase = 1;

struct DVCRBinaryImageSlot {
  uint64_t baseAddress;  // the image's header; 0 = free, kDVCRBinaryImageRetiredBase = retired
  uint64_t size;         // from the base to the end of its text; 0 = matches nothing
  uint64_t ehFrame;      // its .eh_frame_hdr (GNU_EH_FRAME segment), or 0
  uint64_t unwindInfo;   // its compact unwind table, or 0
  uint64_t crashInfo;    // its crash-info record, or 0
  // Its .eh_frame section: from the start the header names to the end of
  // the segment that holds it; every call-frame read stays inside. 0, 0
  // when it has none.
  uint64_t ehFrameSection;
  uint64_t ehFrameSectionSize;
  uint64_t sequence;  // odd while the slot changes
};
static_assert(sizeof(DVCRBinaryImageSlot) == 64);

// The table itself, all slots free at start.
DVCRBinaryImageSlot* DVCRBinaryImageSlots();

// Copies a slot out when no change to it was under way (see above).
// Signal-safe.
bool DVCRBinaryImageSlotCopy(const DVCRBinaryImageSlot& slot, DVCRBinaryImageSlot* copy);
// Writers: `slot` becomes `image` (taking a free or retired slot), or
// becomes retired. Only the loader's callbacks call them, one at a time.
void DVCRBinaryImageSlotPublish(DVCRBinaryImageSlot* slot, const DVCRBinaryImageSlot& image);
void DVCRBinaryImageSlotRetire(DVCRBinaryImageSlot* slot);

// The first slot with baseAddress <= address < baseAddress + size, copied
// out; false when none holds the address, for an output below 4,096 or
// address 0. Signal-safe.
bool DVCRBinaryImageSafeFindImageForAddress(uint64_t address, DVCRBinaryImageSlot* slot);
// Whether the image carries a compact unwind table.
bool DVCRBinaryImageSafeHasUnwindInfo(const DVCRBinaryImageSlot& slot);
