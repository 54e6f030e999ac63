#include "Libraries/CrashReporter/DVCRFile.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "Libraries/CrashReporter/DVCRBytes.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRUtilities.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

constexpr int kMaxWriteCalls = 50;
// Enough for the 20 digits of the largest unsigned value, or a sign and 19.
constexpr size_t kNumberBufferSize = 21;

bool isValidFile(const DVCRFile* file) { return file != nullptr && reinterpret_cast<uintptr_t>(file) >= 4096; }

long writeToDescriptor(void* context, const void* bytes, size_t length) {
  return ::write(*static_cast<int*>(context), bytes, length);
}

bool writeAllToDescriptor(int fd, const void* bytes, size_t length) {
  return DVCRFileLoopWithWriteBlock(bytes, length, writeToDescriptor, &fd);
}

bool writeRunUnbuffered(DVCRFile* file, const char* bytes, size_t length) {
  if (!writeAllToDescriptor(file->fd, bytes, length)) return false;
  file->writtenLength += length;
  return true;
}

// Formats from the least significant digit into `buffer`; returns where the
// digits start. No locale, no allocation.
const char* formatUnsigned(uint64_t value, bool hex, char (&buffer)[kNumberBufferSize], size_t* length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  const uint64_t base = hex ? 16 : 10;
  size_t at = kNumberBufferSize;
  do {
    buffer[--at] = kDigits[value % base];
    value /= base;
  } while (value != 0);
  *length = kNumberBufferSize - at;
  return buffer + at;
}

const char* formatSigned(int64_t value, char (&buffer)[kNumberBufferSize], size_t* length) {
  // The magnitude is taken unsigned, so the most negative value works too.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  const char* digits = formatUnsigned(magnitude, false, buffer, length);
  if (value >= 0) return digits;
  char* start = const_cast<char*>(digits) - 1;
  *start = '-';
  ++*length;
  return start;
}

void writeLiteral(DVCRFile* file, const char* text) { DVCRFileWriteString(file, text, strlen(text)); }

// The length of the valid UTF-8 sequence starting at `s` (at most `left`
// bytes), or 0 with `*bad` set to the length of the maximal ill-formed prefix
// (at least 1), which becomes one U+FFFD, as decoders replace it.
size_t utf8SequenceLength(const unsigned char* s, size_t left, size_t* bad) {
  unsigned char lead = s[0];
  size_t need;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    *bad = 1;
    return 0;
  }
  for (size_t i = 1; i < need; ++i) {
    bool inRange = i < left && (i == 1 ? (s[i] >= low && s[i] <= high) : (s[i] >= 0x80 && s[i] <= 0xBF));
    if (!inRange) {
      *bad = i;
      return 0;
    }
  }
  return need;
}

// A string's bytes between quotes, escaped so that the line stays valid
// JSON whatever the text holds (paths, thread names, demangled symbols).
void writeEscapedString(DVCRFile* file, const char* text, size_t length) {
  static constexpr char kHex[] = "0123456789abcdef";
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  DVCRFileWriteString(file, "\"", 1);
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  size_t runStart = 0, i = 0;
  auto flushRun = [&] {
    if (i > runStart) DVCRFileWriteString(file, text + runStart, i - runStart);
  };
  while (i < length) {
    unsigned char c = s[i];
    if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
      ++i;
      continue;
    }
    if (c >= 0x80) {
      size_t bad = 0;
      size_t valid = utf8SequenceLength(s + i, length - i, &bad);
      if (valid != 0) {
        i += valid;
        continue;
      }
      flushRun();
      DVCRFileWriteString(file, kReplacement, 3);
      i += bad;
      runStart = i;
      continue;
    }
    flushRun();
    if (c == '"' || c == '\\') {
      char escaped[2] = {'\\', static_cast<char>(c)};
      DVCRFileWriteString(file, escaped, 2);
    } else {
      char escaped[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
      DVCRFileWriteString(file, escaped, 6);
    }
    ++i;
    runStart = i;
  }
  flushRun();
  DVCRFileWriteString(file, "\"", 1);
}

void writeHexChunk(void* context, const char* digits, size_t length) {
  DVCRFileWriteString(static_cast<DVCRFile*>(context), digits, length);
}

void writeHexString(DVCRFile* file, const char* value) {
  if (value == nullptr) {
    writeLiteral(file, "null");
    return;
  }
  DVCRFileWriteString(file, "\"", 1);
  DVCRHexEncodeInChunks(reinterpret_cast<const uint8_t*>(value), strlen(value), writeHexChunk, file);
  DVCRFileWriteString(file, "\"", 1);
}

void writePlainString(DVCRFile* file, const char* value) {
  if (value == nullptr) {
    writeLiteral(file, "null");
    return;
  }
  writeEscapedString(file, value, strlen(value));
}

void startElement(DVCRFile* file) {
  if (file->needComma) DVCRFileWriteString(file, ",", 1);
}

void endElement(DVCRFile* file) { file->needComma = true; }

void openCollection(DVCRFile* file, const char* bracket) {
  startElement(file);
  DVCRFileWriteString(file, bracket, 1);
  ++file->collectionDepth;
  file->needComma = false;
}

void closeCollection(DVCRFile* file, const char* bracket) {
  DVCRFileWriteString(file, bracket, 1);
  if (file->collectionDepth > 0) --file->collectionDepth;
  file->needComma = file->collectionDepth > 0;
}

}  // namespace

bool DVCRFileLoopWithWriteBlock(const void* bytes, size_t length, DVCRFileWriteFunction write, void* context) {
  const auto* at = static_cast<const char*>(bytes);
  size_t left = length;
  if (left == 0) return true;
  for (int call = 0; call < kMaxWriteCalls; ++call) {
    long written = write(context, at, left);
    if (written < 0 && errno == EINTR) continue;  // a signal came first; nothing was written
    if (written <= 0 || static_cast<size_t>(written) > left) return false;
    if (static_cast<size_t>(written) == left) return true;
    at += written;
    left -= static_cast<size_t>(written);
  }
  return false;
}

namespace {

bool openFile(DVCRFile* file, const char* path, bool append) {
  if (file == nullptr) {
    DVCRSDKLogWarn("Error: file is null\n");
    return false;
  }
  *file = DVCRFile{};
  if (path == nullptr) {
    DVCRSDKLogWarn("Error: file descriptor invalid\n");
    return false;
  }
  int flags = append ? (O_WRONLY | O_APPEND | O_CREAT) : (O_WRONLY | O_CREAT | O_TRUNC);
  // No data-protection class here: every file is writable while a crash is handled.
  file->fd = ::open(path, flags | O_CLOEXEC, 0644);
  if (file->fd < 0) {
    DVCRSDKLogWarn("Error: Unable to open file %s (errno %d)\n", path, errno);
    file->fd = -1;
    return false;
  }
  if (append) {
    struct stat info;
    if (::fstat(file->fd, &info) == 0 && info.st_size > 0) file->writtenLength = static_cast<uint64_t>(info.st_size);
  }
  return true;
}

}  // namespace

bool DVCRFileInitWithPathMode(DVCRFile* file, const char* path, bool append, bool bufferWrites) {
  if (!openFile(file, path, append)) return false;
  if (bufferWrites) {
    file->writeBuffer = static_cast<char*>(calloc(kDVCRFileWriteBufferSize, 1));
    if (file->writeBuffer == nullptr) {
      DVCRLogErrorMessage("Unable to malloc in DVCRFileInit");
      ::close(file->fd);
      *file = DVCRFile{};
      return false;
    }
    file->bufferWrites = true;
    file->ownsWriteBuffer = true;
  }
  return true;
}

bool DVCRFileInitWithPathModeBuffer(DVCRFile* file, const char* path, bool append, char* buffer) {
  if (!openFile(file, path, append)) return false;
  if (buffer != nullptr) {
    buffer[0] = '\0';
    file->writeBuffer = buffer;
    file->bufferWrites = true;
  }
  return true;
}

bool DVCRFileInitWithPath(DVCRFile* file, const char* path, bool bufferWrites) {
  return DVCRFileInitWithPathMode(file, path, true, bufferWrites);
}

bool DVCRFileIsOpen(const DVCRFile* file) { return isValidFile(file) && file->fd >= 0; }

bool DVCRFileFlushWriteBuffer(DVCRFile* file) {
  if (!DVCRFileIsOpen(file) || file->writeBuffer == nullptr || file->writeBufferLength == 0) return true;
  bool ok = writeRunUnbuffered(file, file->writeBuffer, file->writeBufferLength);
  file->writeBufferLength = 0;
  file->writeBuffer[0] = '\0';
  return ok;
}

bool DVCRFileCloseWithOffset(DVCRFile* file, uint64_t* finalLength) {
  if (!DVCRFileIsOpen(file)) return false;
  if (file->bufferWrites && file->writeBuffer != nullptr) {
    DVCRFileFlushWriteBuffer(file);
    if (file->ownsWriteBuffer) free(file->writeBuffer);
  }
  if (finalLength != nullptr) *finalLength = file->writtenLength;
  bool closed = ::close(file->fd) == 0;
  if (!closed) DVCRSDKLogWarn("Error: Unable to close file (errno %d)\n", errno);
  *file = DVCRFile{};
  return closed;
}

bool DVCRFileClose(DVCRFile* file) { return DVCRFileCloseWithOffset(file, nullptr); }

bool DVCRFileWriteString(DVCRFile* file, const char* bytes, size_t length) {
  if (!DVCRFileIsOpen(file) || bytes == nullptr) return false;
  // The writer carries text: a NUL byte ends the run.
  const void* nul = memchr(bytes, '\0', length);
  if (nul != nullptr) length = static_cast<size_t>(static_cast<const char*>(nul) - bytes);
  if (!file->bufferWrites || file->writeBuffer == nullptr) return writeRunUnbuffered(file, bytes, length);
  bool ok = true;
  while (file->writeBufferLength + length >= kDVCRFileWriteBufferSize) {
    size_t take = kDVCRFileWriteBufferSize - 1 - file->writeBufferLength;
    memcpy(file->writeBuffer + file->writeBufferLength, bytes, take);
    file->writeBufferLength += take;
    file->writeBuffer[file->writeBufferLength] = '\0';
    ok = DVCRFileFlushWriteBuffer(file) && ok;
    bytes += take;
    length -= take;
  }
  memcpy(file->writeBuffer + file->writeBufferLength, bytes, length);
  file->writeBufferLength += length;
  file->writeBuffer[file->writeBufferLength] = '\0';
  return ok;
}

bool DVCRFileWriteUInt64(DVCRFile* file, uint64_t value, bool hex) {
  char buffer[kNumberBufferSize];
  size_t length = 0;
  const char* digits = formatUnsigned(value, hex, buffer, &length);
  return DVCRFileWriteString(file, digits, length);
}

bool DVCRFileWriteInt64(DVCRFile* file, int64_t value) {
  char buffer[kNumberBufferSize];
  size_t length = 0;
  const char* digits = formatSigned(value, buffer, &length);
  return DVCRFileWriteString(file, digits, length);
}

bool DVCRFileFDWriteUInt64(int fd, uint64_t value, bool hex) {
  char buffer[kNumberBufferSize];
  size_t length = 0;
  const char* digits = formatUnsigned(value, hex, buffer, &length);
  return writeAllToDescriptor(fd, digits, length);
}

bool DVCRFileFDWriteInt64(int fd, int64_t value) {
  char buffer[kNumberBufferSize];
  size_t length = 0;
  const char* digits = formatSigned(value, buffer, &length);
  return writeAllToDescriptor(fd, digits, length);
}

void DVCRFileWriteSectionStart(DVCRFile* file, const char* name) {
  DVCRFileWriteHashStart(file);
  DVCRFileWriteHashKey(file, name);
}

void DVCRFileWriteSectionEnd(DVCRFile* file) {
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteString(file, "\n", 1);
}

void DVCRFileWriteHashStart(DVCRFile* file) { openCollection(file, "{"); }
void DVCRFileWriteHashEnd(DVCRFile* file) { closeCollection(file, "}"); }
void DVCRFileWriteArrayStart(DVCRFile* file) { openCollection(file, "["); }
void DVCRFileWriteArrayEnd(DVCRFile* file) { closeCollection(file, "]"); }

void DVCRFileWriteHashKey(DVCRFile* file, const char* key) {
  startElement(file);
  writePlainString(file, key);
  DVCRFileWriteString(file, ":", 1);
  file->needComma = false;  // the value follows without one
}

void DVCRFileWriteHashEntryUint64(DVCRFile* file, const char* key, uint64_t value) {
  DVCRFileWriteHashKey(file, key);
  DVCRFileWriteUInt64(file, value, false);
  endElement(file);
}

void DVCRFileWriteHashEntryInt64(DVCRFile* file, const char* key, int64_t value) {
  DVCRFileWriteHashKey(file, key);
  DVCRFileWriteInt64(file, value);
  endElement(file);
}

void DVCRFileWriteHashEntryBoolean(DVCRFile* file, const char* key, bool value) {
  DVCRFileWriteHashKey(file, key);
  writeLiteral(file, value ? "true" : "false");
  endElement(file);
}

void DVCRFileWriteHashEntryString(DVCRFile* file, const char* key, const char* value) {
  DVCRFileWriteHashKey(file, key);
  writePlainString(file, value);
  endElement(file);
}

void DVCRFileWriteHashEntryNSString(DVCRFile* file, const char* key, std::string_view value) {
  if (value.empty()) return;
  DVCRFileWriteHashKey(file, key);
  writeEscapedString(file, value.data(), value.size());
  endElement(file);
}

void DVCRFileWriteHashEntryHexEncodedString(DVCRFile* file, const char* key, const char* value) {
  DVCRFileWriteHashKey(file, key);
  writeHexString(file, value);
  endElement(file);
}

void DVCRFileWriteArrayEntryUint64(DVCRFile* file, uint64_t value) {
  startElement(file);
  DVCRFileWriteUInt64(file, value, false);
  endElement(file);
}

void DVCRFileWriteArrayEntryString(DVCRFile* file, const char* value) {
  startElement(file);
  writePlainString(file, value);
  endElement(file);
}

void DVCRFileWriteArrayEntryHexEncodedString(DVCRFile* file, const char* value) {
  startElement(file);
  writeHexString(file, value);
  endElement(file);
}

std::optional<std::vector<ns::Value>> DVCRFileReadSections(const char* path, bool deleteOnFailure,
                                                           const DVCRFileSectionTransform& transform) {
  if (path == nullptr || reinterpret_cast<uintptr_t>(path) < 4096) {
    DVCRLogErrorMessage("ERROR [%s:%d] Error: input path is invalid\n", __func__, __LINE__);
    return std::nullopt;
  }
  auto& files = ns::FileManager::defaultManager();
  std::optional<ns::Data> contents = files.contentsAtPath(path);
  if (!contents) {
    if (deleteOnFailure) files.removeItem(path);
    DVCRLogWarningMessage("WARN  [%s:%d] Unable to read file %s\n", __func__, __LINE__, path);
    return std::nullopt;
  }
  // Line by line: a bad byte or a line a crash cut short costs only that line.
  std::string_view text(reinterpret_cast<const char*>(contents->data()), contents->size());
  std::vector<ns::Value> sections;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || !ns::isValidUtf8(line)) continue;
    std::optional<ns::Value> object = ns::jsonObjectFromString(line, nullptr);
    if (!object || !object->isDictionary()) continue;
    if (transform) {
      object = transform(*object);
      if (!object) continue;
    }
    sections.push_back(std::move(*object));
  }
  return sections;
}

std::optional<std::string> DVCRFileHexDecodeString(const char* text) {
  if (text == nullptr) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; text[i] != '\0' && text[i + 1] != '\0'; i += 2) {
    uint8_t high = DVCRHexCharToValue(text[i]), low = DVCRHexCharToValue(text[i + 1]);
    if (high > 15 || low > 15) break;
    bytes.push_back(static_cast<char>(high << 4 | low));
  }
  return bytes;
}
