#include "Libraries/CrashReporter/DVCRUtilities.h"

#include <dlfcn.h>
#include <errno.h>
#include <unistd.h>

#include <cstring>

#include "Libraries/CrashReporter/DVCRAllocator.h"
#include "Libraries/CrashReporter/DVCRContext.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Uuid.h"

namespace {
constexpr size_t kUUIDLength = 36;
}  // namespace

const char* DVCRDupString(const char* string) {
  if (string == nullptr) return nullptr;
  const size_t length = strlen(string) + 1;
  auto* copy = static_cast<char*>(DVCRAllocatorSafeAllocate(dvcrContext.allocator.load(), length, kDVCRAllocatorReadOnly));
  if (copy != nullptr) memcpy(copy, string, length);
  return copy;
}

bool DVCRUnlinkIfExists(const char* path) { return ::unlink(path) == 0 || errno == ENOENT; }

void DVCRRedactUUID(char* string) {
  if (string == nullptr) return;
  for (char* open = strchr(string, '('); open != nullptr; open = strchr(open + 1, '(')) {
    // Every character up to the closing one must exist (no NUL among them).
    if (strnlen(open, kUUIDLength + 2) < kUUIDLength + 2 || open[kUUIDLength + 1] != ')') continue;
    for (size_t i = 1; i <= kUUIDLength; ++i) {
      if (open[i] != '-') open[i] = '*';
    }
    return;
  }
}

std::string DVCRGenerateUUID() { return ns::Uuid::random().uuidString(); }

uint8_t DVCRHexCharToValue(char character) {
  if (character >= '0' && character <= '9') return static_cast<uint8_t>(character - '0');
  if (character >= 'a' && character <= 'f') return static_cast<uint8_t>(character - 'a' + 10);
  if (character >= 'A' && character <= 'F') return static_cast<uint8_t>(character - 'A' + 10);
  return 255;
}

void DVCRDladdrInfo(const void* address, const std::function<void(const char*, const char*)>& block) {
  Dl_info info;
  if (::dladdr(address, &info) == 0) {
    block(nullptr, nullptr);
    return;
  }
  block(info.dli_sname != nullptr ? info.dli_sname : "unknown", info.dli_fname != nullptr ? info.dli_fname : "unknown");
}

void DVCRDispatchAfter(double seconds, const std::shared_ptr<dispatch::Queue>& queue, std::function<void()> block) {
  queue->afterSeconds(seconds, std::move(block));
}

DVCRProfileMark DVCRProfileStart() { return ns::Clock::uptimeNanos(); }

double DVCRProfileEnd(DVCRProfileMark mark) {
  return static_cast<double>(ns::Clock::uptimeNanos() - mark) / 1000000.0;
}
