#include "Libraries/CrashReporter/DVCRAllocator.h"

#include <errno.h>
#include <string.h>
#include <sys/mman.h>

#include <cstdlib>
#include <new>

#include "Libraries/CrashReporter/DVCRHostInfo.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"

namespace {

constexpr size_t kAllocatorRecordSize = 64;

bool isPlausibleAddress(const void* address) { return reinterpret_cast<uintptr_t>(address) >= 4096; }

size_t roundedUp(size_t size) { return (size + kDVCRAllocatorAlignment - 1) & ~(kDVCRAllocatorAlignment - 1); }

size_t writableRegionSize(size_t requested, size_t page) { return page * (requested / page + 1); }
size_t readOnlyRegionSize(size_t requested, size_t page) {
  return page * ((requested + kAllocatorRecordSize) / page + 1);
}

void setRegion(DVCRAllocatorRegion* region, uint8_t* start, size_t size, uint8_t* cursor) {
  region->size = size;
  region->start = reinterpret_cast<uint64_t>(start);
  region->cursor = reinterpret_cast<uint64_t>(cursor);
}

bool guard(uint8_t* page, size_t pageSize) { return ::mprotect(page, pageSize, PROT_NONE) == 0; }

}  // namespace

DVCRAllocator* DVCRAllocatorCreate(size_t writableSize, size_t readOnlySize) {
  const size_t page = DVCRHostGetPageSize();
  const size_t writable = writableRegionSize(writableSize, page);
  const size_t readOnly = readOnlyRegionSize(readOnlySize, page);
  const size_t total = writable + readOnly + 3 * page;
  void* mapping = ::mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_ANONYMOUS | MAP_PRIVATE, -1, 0);
  if (mapping == MAP_FAILED) {
    DVCRSDKLogError("Mapping failed %s\n", strerror(errno));
    return nullptr;
  }
  uint8_t* buffer = static_cast<uint8_t*>(mapping);
  uint8_t* writableStart = buffer + page;
  uint8_t* readOnlyStart = buffer + 2 * page + writable;
  DVCRSDKLogInfo("Mapping: %p %p %p, total: %zu K\n", buffer, writableStart, readOnlyStart,
                 static_cast<unsigned>(total / 1024));

  const char* failure = nullptr;
  if (!guard(buffer, page)) {
    failure = "First";
    DVCRSDKLogError("First guard protection failed %s\n", strerror(errno));
  } else if (!guard(writableStart + writable, page)) {
    failure = "Middle";
    DVCRSDKLogError("Middle guard protection failed %s\n", strerror(errno));
  } else if (!guard(readOnlyStart + readOnly, page)) {
    failure = "Last";
    DVCRSDKLogError("Last guard protection failed %s\n", strerror(errno));
  }
  if (failure != nullptr) {
    ::munmap(mapping, total);
    return nullptr;
  }

  // The record is the read-only region's first block.
  auto* allocator = new (readOnlyStart) DVCRAllocator();
  allocator->buffer = buffer;
  setRegion(&allocator->writableRegion, writableStart, writable, writableStart);
  setRegion(&allocator->readOnlyRegion, readOnlyStart, readOnly, readOnlyStart + kAllocatorRecordSize);
  DVCRSDKLogDebug("Allocator successfully created %p\n", allocator);
  return allocator;
}

size_t DVCRAllocatorMappingSize(const DVCRAllocator* allocator) {
  return allocator->writableRegion.size + allocator->readOnlyRegion.size + 3 * DVCRHostGetPageSize();
}

void* DVCRAllocatorSafeAllocateFromRegion(DVCRAllocatorRegion* region, size_t size) {
  // Rounded so that a structure or atomic placed after an odd-sized string
  // stays aligned (the regions start on page boundaries).
  const uint64_t rounded = roundedUp(size);
  uint64_t cursor = region->cursor.load();
  do {
    if (rounded > region->size || cursor - region->start > region->size - rounded) {
      DVCRSDKLogWarn("Unable to allocate sufficient memory, falling back to malloc\n");
      void* memory = std::calloc(1, size == 0 ? 1 : size);
      if (memory == nullptr) DVCRSDKLogWarn("Unable to malloc in DVCRAllocatorSafeAllocateFromRegion\n");
      return memory;
    }
  } while (!region->cursor.compare_exchange_weak(cursor, cursor + rounded));
  return reinterpret_cast<void*>(cursor);
}

void* DVCRAllocatorSafeAllocate(DVCRAllocator* allocator, size_t size, uint32_t type) {
  if (type != kDVCRAllocatorReadOnly && type != kDVCRAllocatorWritable) return nullptr;
  bool fallBack = true;
  if (!isPlausibleAddress(allocator)) {
    DVCRSDKLogWarn("Allocator invalid, falling back to malloc\n");
  } else if (allocator->protectionEnabled) {
    DVCRSDKLogWarn("Allocator already protected, falling back to malloc\n");
  } else {
    fallBack = false;
  }
  if (fallBack) {
    void* memory = std::calloc(1, size == 0 ? 1 : size);
    if (memory == nullptr) DVCRSDKLogWarn("Unable to malloc in DVCRAllocatorSafeAllocate\n");
    return memory;
  }
  DVCRAllocatorRegion* region =
      type == kDVCRAllocatorWritable ? &allocator->writableRegion : &allocator->readOnlyRegion;
  return DVCRAllocatorSafeAllocateFromRegion(region, size);
}

bool DVCRAllocatorProtect(DVCRAllocator* allocator) {
  if (!isPlausibleAddress(allocator)) {
    DVCRSDKLogError("Invalid allocator\n");
    return false;
  }
  if (allocator->protectionEnabled) {
    DVCRSDKLogWarn("Write protection already enabled\n");
    return true;
  }
  // Set before locking: the record lives in the region being locked.
  allocator->protectionEnabled = true;
  void* start = reinterpret_cast<void*>(allocator->readOnlyRegion.start);
  if (::mprotect(start, allocator->readOnlyRegion.size, PROT_READ) == 0) return true;
  allocator->protectionEnabled = false;  // still writable: a later call may try again
  return false;
}
