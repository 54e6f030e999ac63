// Where each field of a message sits in nanopb's struct of the message,
// worked out once per table with nanopb's field iterator, and what the
// coder needs to know of the message as a whole. Internal to the runtime.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "Libraries/WireMessages/MSRPBMessageTable.h"

struct MSRPBFieldLayout {
  uint32_t dataOffset = 0;      // the static value, or the pb_callback_t
  uint32_t presenceOffset = 0;  // the presence flag of a static field
  uint32_t dataSize = 0;        // bytes of a static value
  bool callback = false;
};

struct MSRPBLayoutCache {
  std::once_flag once;
  std::atomic<bool> built = false;  // read first: the once flag costs more
  std::vector<MSRPBFieldLayout> fields;  // by index
  std::vector<int32_t> tagOrder;          // the indexes by ascending tag: the wire order
  // A repeated field here or in a singular sub-message at any depth: the
  // message decodes in two passes, counting, then filling.
  bool twoPasses = false;
  // Callback fields here and in singular sub-messages at any depth.
  uint32_t callbackCount = 0;
};

// Works out the table's layout once; throws ns::Exception when the table
// does not match nanopb's description of its message
// (MSRPBCheckMessageTable's text).
const MSRPBLayoutCache& MSRPBBuildLayout(const MSRPBMessageTable& table);

// The table's layout, as MSRPBBuildLayout. Inline: the coder asks for it
// once per record it reads or writes.
inline const MSRPBLayoutCache& MSRPBLayoutOf(const MSRPBMessageTable& table) {
  if (table.layout->built.load(std::memory_order_acquire)) return *table.layout;
  return MSRPBBuildLayout(table);
}
