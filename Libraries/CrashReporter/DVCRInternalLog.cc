#include "Libraries/CrashReporter/DVCRInternalLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <sys/types.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRFile.h"

namespace {

bool isPlausibleAddress(const void* address) { return reinterpret_cast<uintptr_t>(address) >= 4096; }

// A sign and the 20 digits of the largest 64-bit value, or "0x" and 16.
constexpr size_t kNumberBufferSize = 24;
// Wider fields are cut to this: a width is padding, never a reason to
// write without end.
constexpr size_t kWidestField = 64;

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

// Digits of `value` in base 10 or 16, from the end of `buffer`; returns
// where they start. No locale, no allocation.
char* formatDigits(uint64_t value, bool hex, char* end) {
  static constexpr char kDigits[] = "0123456789abcdef";
  const uint64_t base = hex ? 16 : 10;
  char* at = end;
  do {
    *--at = kDigits[value % base];
    value /= base;
  } while (value != 0);
  return at;
}

void writePadding(int fd, char pad, size_t count) {
  char run[16];
  memset(run, pad, sizeof run);
  while (count > 0) {
    size_t now = count < sizeof run ? count : sizeof run;
    writeRaw(fd, run, now);
    count -= now;
  }
}

// `text` right-aligned in `width`; zero padding goes after a sign.
void writeField(int fd, const char* text, size_t length, size_t width, bool zeroPad) {
  size_t pad = width > length ? width - length : 0;
  if (zeroPad && pad > 0 && length > 0 && text[0] == '-') {
    writeRaw(fd, "-", 1);
    ++text;
    --length;
  }
  if (pad > 0) writePadding(fd, zeroPad ? '0' : ' ', pad);
  writeRaw(fd, text, length);
}

// The length modifiers of a conversion: which C type its argument has.
enum class Length { Default, Char, Short, Long, LongLong, Size, Max, Difference };

int64_t signedArgument(va_list& arguments, Length length) {
  switch (length) {
    case Length::Char: return static_cast<signed char>(va_arg(arguments, int));
    case Length::Short: return static_cast<short>(va_arg(arguments, int));
    case Length::Long: return va_arg(arguments, long);
    case Length::LongLong: return va_arg(arguments, long long);
    case Length::Size: return va_arg(arguments, ssize_t);
    case Length::Max: return va_arg(arguments, intmax_t);
    case Length::Difference: return va_arg(arguments, ptrdiff_t);
    case Length::Default: break;
  }
  return va_arg(arguments, int);
}

uint64_t unsignedArgument(va_list& arguments, Length length) {
  switch (length) {
    case Length::Char: return static_cast<unsigned char>(va_arg(arguments, unsigned int));
    case Length::Short: return static_cast<unsigned short>(va_arg(arguments, unsigned int));
    case Length::Long: return va_arg(arguments, unsigned long);
    case Length::LongLong: return va_arg(arguments, unsigned long long);
    case Length::Size: return va_arg(arguments, size_t);
    case Length::Max: return va_arg(arguments, uintmax_t);
    case Length::Difference: return static_cast<uint64_t>(va_arg(arguments, ptrdiff_t));
    case Length::Default: break;
  }
  return va_arg(arguments, unsigned int);
}

// After the "%": a "0" flag, a width, a length modifier. The cursor is left
// on the conversion character.
Length parseConversion(const char** at, bool* zeroPad, size_t* width) {
  const char* c = *at;
  *zeroPad = *c == '0';
  if (*zeroPad) ++c;
  *width = 0;
  for (; *c >= '0' && *c <= '9'; ++c) {
    if (*width < kWidestField) *width = *width * 10 + static_cast<size_t>(*c - '0');
  }
  if (*width > kWidestField) *width = kWidestField;
  Length length = Length::Default;
  if (c[0] == 'h' && c[1] == 'h') {
    length = Length::Char;
    c += 2;
  } else if (c[0] == 'l' && c[1] == 'l') {
    length = Length::LongLong;
    c += 2;
  } else if (*c == 'h' || *c == 'l' || *c == 'z' || *c == 'j' || *c == 't') {
    length = *c == 'h' ? Length::Short
             : *c == 'l' ? Length::Long
             : *c == 'z' ? Length::Size
             : *c == 'j' ? Length::Max
                         : Length::Difference;
    ++c;
  }
  *at = c;
  return length;
}

// printf's conversions as far as crash-time messages use them: d i u x c p
// s and "%%", with a "0" flag, a width and the length modifiers hh h l ll z
// j t. Any other conversion is written as it stands and takes no argument.
void writeFormatted(int fd, const char* format, va_list given) {
  va_list arguments;
  va_copy(arguments, given);
  const char* run = format;  // ordinary characters are written a run at a time
  const char* at = format;
  char digits[kNumberBufferSize];
  char* const digitsEnd = digits + sizeof digits;
  while (*at != '\0') {
    if (*at != '%') {
      ++at;
      continue;
    }
    writeRaw(fd, run, static_cast<size_t>(at - run));
    const char* conversionStart = at;
    ++at;
    bool zeroPad = false;
    size_t width = 0;
    const Length length = parseConversion(&at, &zeroPad, &width);
    const char conversion = *at;
    if (conversion == '\0') {  // a "%" cut off by the end: as it stands
      writeRaw(fd, conversionStart, static_cast<size_t>(at - conversionStart));
      va_end(arguments);
      return;
    }
    switch (conversion) {
      case 'd':
      case 'i': {
        const int64_t value = signedArgument(arguments, length);
        // The magnitude unsigned, so that the most negative value works too.
        const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        char* start = formatDigits(magnitude, false, digitsEnd);
        if (value < 0) *--start = '-';
        writeField(fd, start, static_cast<size_t>(digitsEnd - start), width, zeroPad);
        break;
      }
      case 'u':
      case 'x': {
        char* start = formatDigits(unsignedArgument(arguments, length), conversion == 'x', digitsEnd);
        writeField(fd, start, static_cast<size_t>(digitsEnd - start), width, zeroPad);
        break;
      }
      case 'p': {
        char* start = formatDigits(reinterpret_cast<uintptr_t>(va_arg(arguments, void*)), true, digitsEnd);
        *--start = 'x';
        *--start = '0';
        writeField(fd, start, static_cast<size_t>(digitsEnd - start), width, false);
        break;
      }
      case 'c': {
        const char character = static_cast<char>(va_arg(arguments, int));
        writeField(fd, &character, 1, width, false);
        break;
      }
      case 's': {
        const char* text = va_arg(arguments, const char*);
        if (text == nullptr) text = "(null)";
        writeField(fd, text, strlen(text), width, false);
        break;
      }
      case '%':
        writeRaw(fd, "%", 1);
        break;
      default:
        writeRaw(fd, conversionStart, static_cast<size_t>(at + 1 - conversionStart));
        break;
    }
    ++at;
    run = at;
  }
  writeRaw(fd, run, static_cast<size_t>(at - run));
  va_end(arguments);
}

// Once a crash is being recorded every line is a system call inside a
// handler: a damaged stack or table must not turn into thousands of them.
bool withinCrashBudget(DVCRWritableContext* writable, uint32_t level) {
  if (!writable->crashOccurred.load(std::memory_order_relaxed)) return true;
  DVCRInternalLoggingWritableContext& logging = writable->internalLogging;
  if (level <= kDVCRInternalLogLevelDebug &&
      logging.debugLinesAfterCrash.fetch_add(1, std::memory_order_relaxed) >= kDVCRInternalLogCrashDebugLineLimit)
    return false;
  return logging.linesAfterCrash.fetch_add(1, std::memory_order_relaxed) < kDVCRInternalLogCrashLineLimit;
}

}  // namespace

void DVCRInternalLogWrite(uint32_t level, const char* format, ...) {
  DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  DVCRWritableContext* writable = DVCRContextWritable();
  if (readonly == nullptr || writable == nullptr || format == nullptr) return;
  if (!isPlausibleAddress(readonly->logPath)) return;
  if (level < writable->internalLogging.logLevel.load()) return;
  if (!withinCrashBudget(writable, level)) return;
  int fd = logDescriptor(readonly->logPath, writable->internalLogging.logFd);
  if (fd < 0) return;
  va_list arguments;
  va_start(arguments, format);
  writeFormatted(fd, format, arguments);
  va_end(arguments);
}
