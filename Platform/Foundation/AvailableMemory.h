// How much memory the process may still take before the system has to
// reclaim it from someone: what a reader sizes its caps by before it holds
// a whole document in memory.
#pragma once

#include <cstdint>
#include <optional>

namespace ns {

// Bytes; nullopt when the system does not tell.
std::optional<uint64_t> availableMemory();

}  // namespace ns
