#include "Platform/Mach/detail/ProcFile.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace mach::detail {

long readProcFile(const char* path, char* buffer, size_t size) {
  if (size == 0) return -1;
  int fd = static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, O_RDONLY | O_CLOEXEC));
  if (fd < 0) return -1;
  size_t length = 0;
  while (length < size - 1) {
    long got = syscall(SYS_read, fd, buffer + length, size - 1 - length);
    if (got < 0) {
      syscall(SYS_close, fd);
      return -1;
    }
    if (got == 0) break;
    length += static_cast<size_t>(got);
  }
  syscall(SYS_close, fd);
  buffer[length] = '\0';
  return static_cast<long>(length);
}

bool parseUnsigned(const char** text, uint64_t* value) {
  const char* at = *text;
  while (*at == ' ' || *at == '\t') ++at;
  if (*at < '0' || *at > '9') return false;
  uint64_t number = 0;
  while (*at >= '0' && *at <= '9') number = number * 10 + static_cast<uint64_t>(*at++ - '0');
  *value = number;
  *text = at;
  return true;
}

bool findKeyedNumber(const char* text, const char* key, uint64_t* value) {
  for (const char* line = text; *line != '\0';) {
    const char* at = line;
    const char* wanted = key;
    while (*wanted != '\0' && *at == *wanted) ++at, ++wanted;
    if (*wanted == '\0') return parseUnsigned(&at, value);
    while (*line != '\0' && *line != '\n') ++line;
    if (*line == '\n') ++line;
  }
  return false;
}

char* appendDecimal(char* out, uint64_t value) {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) *out++ = digits[--count];
  *out = '\0';
  return out;
}

}  // namespace mach::detail
