// Record files: every file in a crash report folder ("*.dvrecord") is a
// sequence of lines, each one JSON object with a single key, the section:
//   {"<section>":<value>}\n
// The writer runs inside signal handlers as well as in normal operation, so
// once a file is open nothing on the write path allocates, locks, formats
// through a library or reads the locale: numbers are formatted by hand into
// stack buffers and a buffered file uses the 1000-byte buffer it allocated
// at open. Crash-time writers use unbuffered files whose structure was set
// aside beforehand; opening and closing allocate nothing either, except to
// log a failure (the log allocates).
//
// Value forms:
//   unsigned: decimal digits;  signed: "-" and the decimal magnitude;
//   true / false;  a missing string: null;
//   plain string: between double quotes, escaped as JSON does (\" \\ and
//     \u00XX for control bytes); a byte that is not part of valid UTF-8 is
//     written as U+FFFD, so the line always stays valid JSON;
//   hex string: double quotes around two lower-case hex digits per byte.
// Commas: an element (key and value, or array element) is preceded by ","
// exactly when the previous element of the same object or array was
// written; opening an object or array starts afresh.
//
// A failed write loses only that run of bytes (the file then holds a cut
// line, which the reader skips); later writes continue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/Value.h"

inline constexpr size_t kDVCRFileWriteBufferSize = 1000;

// Owned by its caller (on the stack, or in memory set aside before a crash).
struct DVCRFile {
  int32_t fd = -1;
  uint32_t collectionDepth = 0;  // objects and arrays currently open
  bool needComma = false;
  bool bufferWrites = false;
  char* writeBuffer = nullptr;  // kDVCRFileWriteBufferSize bytes, NUL-terminated
  bool ownsWriteBuffer = false;  // allocated at open (freed at close), or lent by the caller
  size_t writeBufferLength = 0;  // at most kDVCRFileWriteBufferSize - 1
  // In append mode the size at open, plus every run written since.
  uint64_t writtenLength = 0;
};

// Opens `path` (mode 0644) for appending, or truncated when `append` is
// false; allocates the write buffer when `bufferWrites`. False (with a
// warning in the log) for a null file or path, a failed open or allocation.
bool DVCRFileInitWithPathMode(DVCRFile* file, const char* path, bool append, bool bufferWrites);
bool DVCRFileInitWithPath(DVCRFile* file, const char* path, bool bufferWrites);
// The same with writes buffered in `buffer` (kDVCRFileWriteBufferSize bytes,
// owned by the caller and kept while the file is open): nothing allocated.
bool DVCRFileInitWithPathModeBuffer(DVCRFile* file, const char* path, bool append, char* buffer);
// Flushes and frees the buffer, reports `writtenLength`, closes and resets
// the structure. False when the close fails or the file was not open.
bool DVCRFileCloseWithOffset(DVCRFile* file, uint64_t* finalLength);
bool DVCRFileClose(DVCRFile* file);
bool DVCRFileIsOpen(const DVCRFile* file);
bool DVCRFileFlushWriteBuffer(DVCRFile* file);

// Structure.
void DVCRFileWriteSectionStart(DVCRFile* file, const char* name);  // {"name":
void DVCRFileWriteSectionEnd(DVCRFile* file);                      // }\n
void DVCRFileWriteHashStart(DVCRFile* file);
void DVCRFileWriteHashEnd(DVCRFile* file);
void DVCRFileWriteArrayStart(DVCRFile* file);
void DVCRFileWriteArrayEnd(DVCRFile* file);
void DVCRFileWriteHashKey(DVCRFile* file, const char* key);

// Object entries: the key, then the value.
void DVCRFileWriteHashEntryUint64(DVCRFile* file, const char* key, uint64_t value);
void DVCRFileWriteHashEntryInt64(DVCRFile* file, const char* key, int64_t value);
void DVCRFileWriteHashEntryBoolean(DVCRFile* file, const char* key, bool value);
void DVCRFileWriteHashEntryString(DVCRFile* file, const char* key, const char* value);  // null when missing
// Nothing at all (not even the key) for an empty string.
void DVCRFileWriteHashEntryNSString(DVCRFile* file, const char* key, std::string_view value);
void DVCRFileWriteHashEntryHexEncodedString(DVCRFile* file, const char* key, const char* value);

// Array elements.
void DVCRFileWriteArrayEntryUint64(DVCRFile* file, uint64_t value);
void DVCRFileWriteArrayEntryString(DVCRFile* file, const char* value);
void DVCRFileWriteArrayEntryHexEncodedString(DVCRFile* file, const char* value);

// Lower layers. WriteString copies raw bytes (stopping at a NUL byte)
// through the buffer; it is the caller's job that they fit the syntax.
bool DVCRFileWriteUInt64(DVCRFile* file, uint64_t value, bool hex);
bool DVCRFileWriteInt64(DVCRFile* file, int64_t value);
bool DVCRFileWriteString(DVCRFile* file, const char* bytes, size_t length);
// Straight to a descriptor (the internal log writes through these).
bool DVCRFileFDWriteUInt64(int fd, uint64_t value, bool hex);
bool DVCRFileFDWriteInt64(int fd, int64_t value);

// Writes `length` bytes with at most 50 calls of `write`, continuing after
// short writes; false when a call writes nothing, fails or claims more than
// it was given. `write` is a plain function so that crash-time callers can
// use it; `context` is passed through.
using DVCRFileWriteFunction = long (*)(void* context, const void* bytes, size_t length);
bool DVCRFileLoopWithWriteBlock(const void* bytes, size_t length, DVCRFileWriteFunction write, void* context);

// Reading (normal operation only). The sections of a record file in file
// order: each line that is a JSON object, replaced by `transform`'s result
// (dropped when it gives none). A line that is not valid UTF-8 or not a JSON
// object (a line a crash cut short, an odd byte) is skipped alone. Absent
// for a null path or an unreadable file (deleted first when
// `deleteOnFailure`).
using DVCRFileSectionTransform = std::function<std::optional<ns::Value>(const ns::Value& section)>;
std::optional<std::vector<ns::Value>> DVCRFileReadSections(const char* path, bool deleteOnFailure,
                                                           const DVCRFileSectionTransform& transform = nullptr);

// The bytes of a hex string, decoded from the start until a pair holds a
// character that is not a hex digit (either case): "6a7k" gives "j".
std::optional<std::string> DVCRFileHexDecodeString(const char* text);
