// Reading small /proc files where nothing may allocate: raw system calls
// into the caller's buffer, and hand-written parsing of the numbers in them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mach::detail {

// Reads at most size - 1 bytes of `path` and ends them with a NUL; the
// number of bytes read, or -1 when the file cannot be opened or read.
long readProcFile(const char* path, char* buffer, size_t size);

// The unsigned decimal number at *text, skipping leading blanks; moves *text
// past it. False when no digit follows the blanks.
bool parseUnsigned(const char** text, uint64_t* value);

// In "Key:   value ..." lines, the number after the line that starts with
// `key` (given with its colon, "MemFree:"). False when no line has it.
bool findKeyedNumber(const char* text, const char* key, uint64_t* value);

// Writes the decimal digits of `value` into `out` (NUL-terminated); the end.
char* appendDecimal(char* out, uint64_t value);

}  // namespace mach::detail
