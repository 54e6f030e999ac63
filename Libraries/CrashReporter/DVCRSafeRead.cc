#include "Libraries/CrashReporter/DVCRSafeRead.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace {

// Set once the kernel route has been refused (seccomp, an old kernel), so
// later reads go straight to the pipe.
std::atomic<bool> kernelReadRefused{false};

// Small enough that a pipe always takes a whole chunk without blocking.
constexpr size_t kPipeChunk = 4096;
// Strings are read up to the end of the page they are on at a time: a
// mapping never ends inside a page, so nothing readable is missed.
constexpr uintptr_t kStringPage = 4096;

bool isPlausibleAddress(const void* address) { return reinterpret_cast<uintptr_t>(address) >= 4096; }

enum class KernelRead { Done, Failed, Refused };

KernelRead readWithKernel(pid_t pid, const void* source, void* destination, size_t length) {
  iovec local{destination, length};
  iovec remote{const_cast<void*>(source), length};
  ssize_t copied = ::process_vm_readv(pid, &local, 1, &remote, 1, 0);
  if (copied == static_cast<ssize_t>(length)) return KernelRead::Done;
  if (copied < 0 && (errno == ENOSYS || errno == EPERM)) return KernelRead::Refused;
  return KernelRead::Failed;
}

}  // namespace

bool DVCRReadMemoryThroughPipe(const void* source, void* destination, size_t length) {
  if (!isPlausibleAddress(source) || destination == nullptr) return false;
  if (length == 0) return true;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  bool ok = true;
  const char* from = static_cast<const char*>(source);
  char* to = static_cast<char*>(destination);
  while (ok && length > 0) {
    size_t chunk = length < kPipeChunk ? length : kPipeChunk;
    // The kernel reads the source: a bad address gives EFAULT, not a fault.
    ok = ::write(fds[1], from, chunk) == static_cast<ssize_t>(chunk) &&
         ::read(fds[0], to, chunk) == static_cast<ssize_t>(chunk);
    from += chunk;
    to += chunk;
    length -= chunk;
  }
  ::close(fds[0]);
  ::close(fds[1]);
  return ok;
}

namespace {

bool readMemory(pid_t pid, const void* source, void* destination, size_t length) {
  if (!kernelReadRefused.load(std::memory_order_relaxed)) {
    switch (readWithKernel(pid, source, destination, length)) {
      case KernelRead::Done:
        return true;
      case KernelRead::Failed:
        return false;
      case KernelRead::Refused:
        kernelReadRefused.store(true, std::memory_order_relaxed);
        break;
    }
  }
  return DVCRReadMemoryThroughPipe(source, destination, length);
}

}  // namespace

bool DVCRReadMemory(const void* source, void* destination, size_t length) {
  if (!isPlausibleAddress(source) || destination == nullptr) return false;
  if (length == 0) return true;
  return readMemory(::getpid(), source, destination, length);
}

void DVCRSafeReadCacheReset(DVCRSafeReadCache* cache) {
  cache->pid = ::getpid();
  cache->lastHit = 0;
  cache->blockReads = 0;
  cache->clock = 0;
  for (int i = 0; i < DVCRSafeReadCache::kBlocks; ++i) {
    cache->blockAddress[i] = 0;
    cache->lastUse[i] = 0;
  }
}

namespace {

constexpr uintptr_t kBlock = DVCRSafeReadCache::kBlockSize;

int findBlock(const DVCRSafeReadCache* cache, uintptr_t block) {
  if (cache->blockAddress[cache->lastHit] == block) return static_cast<int>(cache->lastHit);
  for (int i = 0; i < DVCRSafeReadCache::kBlocks; ++i) {
    if (cache->blockAddress[i] == block) return i;
  }
  return -1;
}

int leastRecentlyUsed(const DVCRSafeReadCache* cache) {
  int victim = 0;
  for (int i = 1; i < DVCRSafeReadCache::kBlocks; ++i) {
    if (cache->lastUse[i] < cache->lastUse[victim]) victim = i;
  }
  return victim;
}

// Copies `block` and, in the same system call, up to kReadAhead - 1 blocks
// after it that are not cached yet: a walk goes on upwards, up the stack and
// towards the record a table search closes in on. The slot of `block`, or
// -1 when it cannot be read (access is granted by the page, and a page is
// at least a block, so then no byte in it can be).
int loadBlock(DVCRSafeReadCache* cache, uintptr_t block) {
  int count = 1;
  while (count < DVCRSafeReadCache::kReadAhead && block + count * kBlock > block &&
         findBlock(cache, block + count * kBlock) < 0)
    ++count;
  int slots[DVCRSafeReadCache::kReadAhead];
  iovec local[DVCRSafeReadCache::kReadAhead];
  for (int i = 0; i < count; ++i) {
    slots[i] = leastRecentlyUsed(cache);
    cache->blockAddress[slots[i]] = 0;
    // The blocks read ahead count as older than the one asked for: unless
    // a read comes to them, they are the first to go again.
    cache->lastUse[slots[i]] = i == 0 ? cache->clock + 1 : cache->clock;
    local[i] = iovec{cache->blocks[slots[i]], kBlock};
  }
  ++cache->blockReads;
  size_t copied = 0;
  if (!kernelReadRefused.load(std::memory_order_relaxed)) {
    iovec remote{reinterpret_cast<void*>(block), count * kBlock};
    ssize_t n = ::process_vm_readv(cache->pid, local, static_cast<unsigned long>(count), &remote, 1, 0);
    if (n > 0) copied = static_cast<size_t>(n);
    // The blocks after it may be what failed: then `block` alone is read.
    if (n < 0 && (errno == ENOSYS || errno == EPERM)) kernelReadRefused.store(true, std::memory_order_relaxed);
  }
  if (copied < kBlock) {
    if (!readMemory(cache->pid, reinterpret_cast<const void*>(block), cache->blocks[slots[0]], kBlock)) return -1;
    copied = kBlock;
  }
  for (int i = 0; i < count && copied >= (i + 1) * kBlock; ++i) cache->blockAddress[slots[i]] = block + i * kBlock;
  return slots[0];
}

}  // namespace

bool DVCRSafeReadCacheReadBlocks(DVCRSafeReadCache* cache, const void* source, void* destination, size_t length) {
  if (!isPlausibleAddress(source) || destination == nullptr) return false;
  if (length == 0) return true;
  uintptr_t at = reinterpret_cast<uintptr_t>(source);
  // Longer reads would only push useful blocks out.
  if (length > kBlock || at + length < at) return readMemory(cache->pid, source, destination, length);
  unsigned char* to = static_cast<unsigned char*>(destination);
  while (length > 0) {
    const uintptr_t block = at & ~(kBlock - 1);
    int slot = findBlock(cache, block);
    if (slot < 0 && (slot = loadBlock(cache, block)) < 0) return false;
    cache->lastHit = static_cast<uint32_t>(slot);
    cache->lastUse[slot] = ++cache->clock;
    const size_t offset = at - block;
    const size_t count = length < kBlock - offset ? length : kBlock - offset;
    memcpy(to, cache->blocks[slot] + offset, count);
    to += count;
    at += count;
    length -= count;
  }
  return true;
}

bool DVCRReadString(const void* source, const char** string, size_t maxLength) {
  if (string == nullptr || !isPlausibleAddress(source)) return false;
  const uintptr_t start = reinterpret_cast<uintptr_t>(source);
  size_t checked = 0;
  char chunk[kStringPage];
  while (checked < maxLength) {
    uintptr_t at = start + checked;
    size_t count = static_cast<size_t>(kStringPage - at % kStringPage);
    if (count > maxLength - checked) count = maxLength - checked;
    if (!DVCRReadMemory(reinterpret_cast<const void*>(at), chunk, count)) return false;
    if (memchr(chunk, '\0', count) != nullptr) {
      *string = static_cast<const char*>(source);
      return true;
    }
    checked += count;
  }
  return false;
}
