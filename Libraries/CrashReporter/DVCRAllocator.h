// The crash allocator: one anonymous mapping, made at launch, that holds the
// whole crash context, so crash-time code never allocates. Layout, for the
// page size P (DVCRHostGetPageSize):
//
//   guard page | writable region | guard page | read-only region | guard page
//
// The writable region is P * (W / P + 1) bytes for a requested W; the
// read-only region P * ((R + 64) / P + 1) bytes for a requested R (the 64
// bytes hold the allocator record itself, which lives in that region). The
// guard pages have no access, so an overrun of either region faults at once.
// After set-up DVCRAllocatorProtect makes the read-only region read-only.
//
// Allocation is a lock-free bump of the region's cursor (compare-and-swap),
// each block rounded up to 16 bytes so that whatever follows an odd-sized
// string is aligned. Allocation never fails silently: when the allocator is
// missing, already protected or its region is full, the block comes from the
// heap and the internal log says so.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kDVCRAllocatorReadOnly = 0;
inline constexpr uint32_t kDVCRAllocatorWritable = 1;
inline constexpr size_t kDVCRAllocatorAlignment = 16;

struct DVCRAllocatorRegion {
  uint64_t size = 0;
  uint64_t start = 0;
  std::atomic<uint64_t> cursor{0};
};

struct DVCRAllocator {
  void* buffer = nullptr;  // the whole mapping, first guard page included
  bool protectionEnabled = false;
  DVCRAllocatorRegion writableRegion;
  DVCRAllocatorRegion readOnlyRegion;
};
static_assert(sizeof(DVCRAllocator) <= 64, "the read-only region reserves 64 bytes for the allocator record");

// Maps and guards the regions; none (logged) when mapping or a guard fails.
DVCRAllocator* DVCRAllocatorCreate(size_t writableSize, size_t readOnlySize);
// The mapping's total length: both regions and the three guard pages.
size_t DVCRAllocatorMappingSize(const DVCRAllocator* allocator);

// From the writable (kDVCRAllocatorWritable) or read-only
// (kDVCRAllocatorReadOnly) region; none for another type.
void* DVCRAllocatorSafeAllocate(DVCRAllocator* allocator, size_t size, uint32_t type);
void* DVCRAllocatorSafeAllocateFromRegion(DVCRAllocatorRegion* region, size_t size);

// Locks the read-only region. True when it is locked (also when it already
// was); false for an invalid allocator or a failed protection.
bool DVCRAllocatorProtect(DVCRAllocator* allocator);
