// How much one read of an archive may take: the caps every extraction and
// every reading into memory checks against what the central directory
// declares before a byte of data is read, and again while reading.
#pragma once

#include <minizip/unzip.h>

#include <cstdint>
#include <optional>

#include "Platform/Foundation/Error.h"

struct VLZipExtractionLimits {
  uint64_t maxTotalBytes = 8ull << 30;  // bytes one extraction may write
  uint64_t maxEntries = 100000;         // entries one extraction may visit
  // One entry's size. The system's minizip misreads sizes of 4 GiB and
  // more, so larger entries are refused rather than read wrong.
  uint64_t maxEntryBytes = 0xFFFFFFFEull;
};

// What is left of the limits while one extraction (with its nested
// archives) or one reading goes on.
struct VLZipBudget {
  uint64_t bytesLeft;
  uint64_t entriesLeft;
  uint64_t maxEntryBytes;

  static VLZipBudget of(const VLZipExtractionLimits& limits) {
    return {limits.maxTotalBytes, limits.maxEntries, limits.maxEntryBytes};
  }

  // Walks the central directory and answers whether its entries, their
  // number and the sizes they declare fit the budget. Stops at the first
  // entry it cannot read (reading it later reports that) and leaves the
  // archive at its first entry. The budget itself is not spent.
  bool admitsDeclaredContents(unzFile zip) const;
};

// The error of an archive past its limits.
ns::Error VLZipLimitError();
