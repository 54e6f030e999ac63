// An image's .eh_frame_hdr (its GNU_EH_FRAME segment): the address of its
// .eh_frame section and a table of {function start, FDE}, sorted by start,
// that finds a PC's FDE by binary search.
//
// The header is read with the safe read and must have the layout linkers
// write: version 1, the section pointer PC-relative signed 32-bit (0x1B),
// the count unsigned 32-bit (0x03), the table relative to the header and
// signed 32-bit (0x3B). Table entries are read safely too, each time: the
// image may be gone by then. Nothing is allocated.
#pragma once

#include <cstdint>

struct DVCREHFrameHeader {
  uintptr_t address = 0;  // of the header; table entries are relative to it
  uintptr_t ehFrame = 0;
  uint32_t fdeCount = 0;
  uintptr_t table = 0;
};

// False, with a log line, for an unreadable header or another layout.
bool DVCREHFrameHeaderInit(DVCREHFrameHeader* header, uintptr_t address);
// The FDE of the function whose start is the last at or below `pc`; false
// when there is none. The caller checks that the FDE's range holds `pc`.
bool DVCREHFrameHeaderFindFDE(const DVCREHFrameHeader& header, uint64_t pc, uintptr_t* fde);
