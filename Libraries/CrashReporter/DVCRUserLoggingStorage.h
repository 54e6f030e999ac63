// The storage descriptors of the user's logs, keys and errors: plain
// structures that live in the crash context (or in an earlier report's
// descriptors), so crash-time code can read them. Paths are C strings owned
// by whoever owns the descriptor.
#pragma once

#include <atomic>
#include <cstdint>

// Keys are appended to the incremental file, and merged into the compacted
// file once `maxIncrementalCount` entries accumulate or a key is removed.
struct DVCRKeyValueStorage {
  const char* incrementalPath = nullptr;
  const char* compactedPath = nullptr;
  uint32_t maxIncrementalCount = 0;
  uint32_t maxCount = 0;  // keys kept by a compaction
};

// Two files, one active: when the active file outgrows `maxSize` bytes (or
// holds `maxEntries` records) the other one is emptied and becomes active.
struct DVCRABStorage {
  const char* aPath = nullptr;
  const char* bPath = nullptr;
  uint32_t maxSize = 0;
  uint32_t maxEntries = 0;
  bool restrictBySize = false;
  std::atomic<uint32_t>* entryCount = nullptr;  // when restricted by entries
};
