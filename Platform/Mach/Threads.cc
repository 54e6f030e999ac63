#include "Platform/Mach/Threads.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

#include "Platform/Mach/detail/ProcFile.h"

namespace mach {

namespace {

// The kernel's directory entry as getdents64 fills it.
struct DirectoryEntry {
  uint64_t inode;
  int64_t offset;
  unsigned short length;
  unsigned char type;
  char name[];
};

bool parseThreadId(const char* name, ThreadId* thread) {
  uint64_t value = 0;
  const char* at = name;
  if (!detail::parseUnsigned(&at, &value) || *at != '\0' || name[0] == ' ' || value == 0) return false;
  *thread = static_cast<ThreadId>(value);
  return true;
}

}  // namespace

bool taskThreads(ThreadList* list, const char* directory) {
  list->count = 0;
  int fd = static_cast<int>(syscall(SYS_openat, AT_FDCWD, directory != nullptr ? directory : "/proc/self/task",
                                    O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd < 0) return false;
  alignas(DirectoryEntry) char buffer[4096];
  bool ok = true;
  for (;;) {
    long got = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
    if (got < 0) {
      ok = false;
      break;
    }
    if (got == 0) break;
    for (long at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const DirectoryEntry*>(buffer + at);
      ThreadId thread;
      if (parseThreadId(entry->name, &thread) && list->count < kMaxTaskThreads) list->threads[list->count++] = thread;
      at += entry->length;
    }
  }
  syscall(SYS_close, fd);
  if (!ok) list->count = 0;
  return ok;
}

ThreadId currentThread() { return static_cast<ThreadId>(syscall(SYS_gettid)); }

bool threadName(ThreadId thread, char* name, size_t size) {
  if (size == 0) return false;
  name[0] = '\0';
  char path[64] = "/proc/self/task/";
  char* end = detail::appendDecimal(path + strlen(path), static_cast<uint64_t>(thread));
  memcpy(end, "/comm", 6);
  long length = detail::readProcFile(path, name, size);
  if (length <= 0) {
    name[0] = '\0';
    return false;
  }
  if (name[length - 1] == '\n') name[--length] = '\0';
  return length > 0;
}

}  // namespace mach
