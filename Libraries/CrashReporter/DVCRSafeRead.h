// Reads of memory that may be unmapped, for crash-time code walking stacks,
// images and strings it cannot trust: a bad address gives false, never a
// fault. Signal-safe: raw system calls, no allocation, no locks.
//
// The bytes are copied by the kernel with `process_vm_readv` on the own
// process. Where a sandbox refuses that call, they are written into a pipe
// instead (which fails cleanly with EFAULT on a bad source) and read back.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// Copies `length` bytes; false for a source below 4,096, a null destination
// or any byte that cannot be read. A length of 0 succeeds.
bool DVCRReadMemory(const void* source, void* destination, size_t length);

// Checks in place that a readable NUL-terminated string starts at `source`
// and that its NUL lies within its first `maxLength` bytes; on success sets
// *string to `source` itself. False for a null `string`, a source below
// 4,096, an unreadable byte before the NUL, or no NUL within `maxLength`
// (so a caller never writes a string whose end was not checked).
bool DVCRReadString(const void* source, const char** string, size_t maxLength);

// The pipe route alone, so that it can be exercised where the kernel route
// works. Same contract as DVCRReadMemory.
bool DVCRReadMemoryThroughPipe(const void* source, void* destination, size_t length);

// Reads for one walk over memory that holds still meanwhile (a stopped
// thread's stack, the unwind tables of loaded images). Each system call
// costs far more than copying a page, and a walk reads many small fields
// close together, so the cache copies the aligned block around a read in
// one call and answers later reads inside it from that copy. The pid is
// read once, when the cache is reset. It lives in its user's memory (an
// unwind context on the crash stack) and allocates nothing; a bad address
// still gives false, never a fault.
struct DVCRSafeReadCache {
  static constexpr size_t kBlockSize = 4096;  // a block is all readable or none of it
  static constexpr int kBlocks = 16;
  static constexpr int kReadAhead = 2;  // blocks one system call may copy

  pid_t pid;
  uint32_t lastHit;               // the slot the last read was in
  uint32_t blockReads;            // system calls made for blocks, for tests
  uint32_t clock;                 // counts the reads that changed blocks
  uintptr_t blockAddress[kBlocks];  // 0: the slot is empty
  uint32_t lastUse[kBlocks];        // `clock` when the block was last read
  unsigned char blocks[kBlocks][kBlockSize];
};

// Empties the cache (its copies are not touched) and reads the pid.
void DVCRSafeReadCacheReset(DVCRSafeReadCache* cache);
// Same contract as DVCRReadMemory; bytes already copied in an earlier read
// are answered from the copy.
bool DVCRSafeReadCacheReadBlocks(DVCRSafeReadCache* cache, const void* source, void* destination, size_t length);
// Call-frame records are parsed a byte at a time: a read inside the block
// the last one was in is a plain copy.
inline bool DVCRSafeReadCacheRead(DVCRSafeReadCache* cache, const void* source, void* destination, size_t length) {
  const uintptr_t at = reinterpret_cast<uintptr_t>(source);
  const uintptr_t block = at & ~uintptr_t{DVCRSafeReadCache::kBlockSize - 1};
  if (at >= 4096 && destination != nullptr && block == cache->blockAddress[cache->lastHit] &&
      length <= DVCRSafeReadCache::kBlockSize - (at - block)) {
    __builtin_memcpy(destination, cache->blocks[cache->lastHit] + (at - block), length);
    return true;
  }
  return DVCRSafeReadCacheReadBlocks(cache, source, destination, length);
}
