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

KernelRead readWithKernel(const void* source, void* destination, size_t length) {
  iovec local{destination, length};
  iovec remote{const_cast<void*>(source), length};
  ssize_t copied = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
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

bool DVCRReadMemory(const void* source, void* destination, size_t length) {
  if (!isPlausibleAddress(source) || destination == nullptr) return false;
  if (length == 0) return true;
  if (!kernelReadRefused.load(std::memory_order_relaxed)) {
    switch (readWithKernel(source, destination, length)) {
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
