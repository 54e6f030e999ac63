#include "Libraries/CrashReporter/DVCRInternalLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstring>

#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRFile.h"

namespace {

bool isPlausibleAddress(const void* address) { return reinterpret_cast<uintptr_t>(address) >= 4096; }

// The descriptor of "sdk.log", opening it on first use; negative when it
// cannot be opened. Racing openers each open it, one wins the swap and the
// others close theirs.
int32_t logDescriptor(const char* path, std::atomic<int32_t>& logFd) {
  int32_t fd = logFd.load();
  if (fd != -1) return fd;
  int32_t opened = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (opened < 0) return -1;
  int32_t expected = -1;
  if (logFd.compare_exchange_strong(expected, opened)) return opened;
  ::close(opened);
  return expected;
}

void writeRaw(int fd, const char* bytes, size_t length) {
  if (length == 0) return;
  DVCRFileLoopWithWriteBlock(
      bytes, length, [](void* context, const void* run, size_t count) -> long {
        return ::write(*static_cast<int*>(context), run, count);
      },
      &fd);
}

void writeFormatted(int fd, const char* format, va_list arguments) {
  const char* run = format;  // ordinary characters are written a run at a time
  const char* at = format;
  while (*at != '\0') {
    if (*at != '%') {
      ++at;
      continue;
    }
    writeRaw(fd, run, static_cast<size_t>(at - run));
    const char conversion = at[1];
    if (conversion == '\0') {  // a lone "%" at the end
      writeRaw(fd, "%", 1);
      return;
    }
    switch (conversion) {
      case 'p':
        writeRaw(fd, "0x", 2);
        DVCRFileFDWriteUInt64(fd, reinterpret_cast<uintptr_t>(va_arg(arguments, void*)), true);
        break;
      case 's': {
        const char* text = va_arg(arguments, const char*);
        if (text == nullptr) text = "(null)";
        writeRaw(fd, text, strlen(text));
        break;
      }
      case 'u':
        DVCRFileFDWriteUInt64(fd, va_arg(arguments, unsigned int), false);
        break;
      case 'x':
        DVCRFileFDWriteUInt64(fd, va_arg(arguments, unsigned int), true);
        break;
      case 'd':
        DVCRFileFDWriteInt64(fd, va_arg(arguments, int));
        break;
      default:
        writeRaw(fd, at, 2);
        break;
    }
    at += 2;
    run = at;
  }
  writeRaw(fd, run, static_cast<size_t>(at - run));
}

}  // namespace

void DVCRInternalLogWrite(uint32_t level, const char* format, ...) {
  DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  DVCRWritableContext* writable = DVCRContextWritable();
  if (readonly == nullptr || writable == nullptr || format == nullptr) return;
  if (!isPlausibleAddress(readonly->logPath)) return;
  if (level < writable->internalLogging.logLevel.load()) return;
  int fd = logDescriptor(readonly->logPath, writable->internalLogging.logFd);
  if (fd < 0) return;
  va_list arguments;
  va_start(arguments, format);
  writeFormatted(fd, format, arguments);
  va_end(arguments);
}
