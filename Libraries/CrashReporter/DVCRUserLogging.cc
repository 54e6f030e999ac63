#include "Libraries/CrashReporter/DVCRUserLogging.h"

#include <execinfo.h>

#include <cmath>
#include <vector>

#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRUtilities.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Clock.h"

namespace {

constexpr uint32_t kMaxIncrementalCount = 64;
constexpr int kMaxErrorFrames = 128;

// The longest prefix of at most `limit` bytes that does not split a UTF-8
// character.
size_t characterBoundaryAtOrBelow(const std::string& text, size_t limit) {
  size_t cut = limit;
  while (cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

void writeUserInfo(DVCRFile* file, const char* key, const ns::Dictionary& info) {
  if (info.empty()) return;
  DVCRFileWriteHashKey(file, key);
  DVCRFileWriteArrayStart(file);
  for (const auto& [name, value] : info) {
    DVCRFileWriteArrayStart(file);
    DVCRFileWriteArrayEntryHexEncodedString(file, name.c_str());
    DVCRFileWriteArrayEntryHexEncodedString(file, value.description().c_str());
    DVCRFileWriteArrayEnd(file);
  }
  DVCRFileWriteArrayEnd(file);
}

bool storeHoldsNothing(const DVCRABStorage* storage) {
  return storage->restrictBySize ? storage->maxSize == 0 : storage->maxEntries == 0;
}

bool mayNeedSwap(const DVCRABStorage* storage, uint64_t finalLength) {
  if (storage->restrictBySize) return finalLength > storage->maxSize;
  return storage->entryCount == nullptr || *storage->entryCount >= storage->maxEntries;
}

}  // namespace

void DVCRUserLoggingInit(DVCRUserLoggingReadOnlyContext* readonly, DVCRUserLoggingWritableContext* writable) {
  std::lock_guard<std::mutex> lock(DVCRUserLoggingLock());
  writable->activeLogPath = readonly->logStorage.aPath;
  writable->activeErrorPath = readonly->errorStorage.aPath;
  writable->activeCustomExceptionPath = readonly->customExceptionStorage.aPath;
  writable->userKVCount = 0;
  writable->internalKVCount = 0;
  readonly->userKVStorage.maxIncrementalCount = kMaxIncrementalCount;
  readonly->internalKVStorage.maxIncrementalCount = kMaxIncrementalCount;
}

std::mutex& DVCRUserLoggingLock() {
  static std::mutex lock;
  return lock;
}

void DVCRUserLoggingSync(const std::function<void()>& block) {
  const std::shared_ptr<dispatch::Queue>& queue = dvcrContext.loggingQueue;
  if (!queue || dispatch::Queue::current() == queue) {
    block();
    return;
  }
  queue->sync(block);
}

void DVCRUserLoggingAsync(std::function<void()> block) {
  const std::shared_ptr<dispatch::Queue>& queue = dvcrContext.loggingQueue;
  if (!queue) {
    block();
    return;
  }
  queue->async(std::move(block));
}

void DVCRUserLoggingWriteAndCheckABFiles(DVCRABStorage* storage, const char** activePath,
                                         const DVCRUserLoggingRecordWriter& writer) {
  if (storage == nullptr || activePath == nullptr || !writer || storeHoldsNothing(storage)) return;
  DVCRUserLoggingSync([&] {
    // Read on the queue, after every check queued so far: read before the
    // hop, a line could go to a file a pending check is about to swap out,
    // and its own check would swap again and empty both files.
    const char* path = nullptr;
    {
      std::lock_guard<std::mutex> lock(DVCRUserLoggingLock());
      path = *activePath;
    }
    if (path == nullptr) return;
    DVCRFile file;
    if (!DVCRFileInitWithPathMode(&file, path, true, true)) {
      DVCRSDKLogWarn("Unable to open log file\n");
      return;
    }
    writer(&file);
    uint64_t finalLength = 0;
    DVCRFileCloseWithOffset(&file, &finalLength);
    if (!storage->restrictBySize && storage->entryCount != nullptr) ++*storage->entryCount;
    // A check that would find the file below its limit is not queued.
    if (mayNeedSwap(storage, finalLength)) {
      DVCRUserLoggingAsync([=] { DVCRUserLoggingCheckAndSwapABFiles(storage, activePath, finalLength); });
    }
  });
}

void DVCRUserLoggingCheckAndSwapABFiles(DVCRABStorage* storage, const char** activePath, uint64_t finalLength) {
  if (storage == nullptr || activePath == nullptr) return;
  const char* active = nullptr;
  {
    std::lock_guard<std::mutex> lock(DVCRUserLoggingLock());
    active = *activePath;
  }
  if (active == nullptr) return;
  if (!storage->restrictBySize) {
    if (storage->entryCount == nullptr) {
      DVCRSDKLogError("Error: storage has invalid pointer, but is restricted by entry count\n");
      return;
    }
    if (*storage->entryCount < storage->maxEntries) return;
    *storage->entryCount = 0;
  } else if (finalLength <= storage->maxSize) {
    return;
  }
  const char* other = active == storage->aPath ? storage->bPath : storage->aPath;
  if (other != nullptr && other[0] != '\0') DVCRUnlinkIfExists(other);
  std::lock_guard<std::mutex> lock(DVCRUserLoggingLock());
  *activePath = other;
}

void DVCRUserLoggingWriteLogMessage(DVCRABStorage* storage, const char** activePath, const std::string& message) {
  if (!DVCRContextIsReady()) {
    DVCRLogWarningMessage(
        "WARNING: DVCRLog has been used before (or concurrently with) Dodevadarud initialization and cannot be "
        "recorded. The message was: \n%@",
        message);
    return;
  }
  if (storage == nullptr) {
    DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
    DVCRWritableContext* writable = DVCRContextWritable();
    if (writable == nullptr) return;
    storage = &readonly->logging.logStorage;
    activePath = &writable->logging.activeLogPath;
  }
  std::string text = message;
  if (text.size() > storage->maxSize) {
    DVCRLogWarningMessage(
        "WARNING: Attempted to write %zd bytes, but %d is the maximum size of the log. Truncating to %d bytes.\n",
        text.size(), storage->maxSize, storage->maxSize);
    text.resize(characterBoundaryAtOrBelow(text, storage->maxSize));
  }
  const double now = ns::Clock::now().timeIntervalSince1970();
  const uint64_t milliseconds = static_cast<uint64_t>(std::floor(now * 1000.0));
  DVCRUserLoggingWriteAndCheckABFiles(storage, activePath, [&](DVCRFile* file) {
    DVCRFileWriteSectionStart(file, "log");
    DVCRFileWriteHashStart(file);
    DVCRFileWriteHashEntryHexEncodedString(file, "msg", text.c_str());
    DVCRFileWriteHashEntryUint64(file, "time", milliseconds);
    DVCRFileWriteHashEnd(file);
    DVCRFileWriteSectionEnd(file);
  });
}

void DVCRUserLoggingRecordErrorEvent(const ns::Error& error, const ns::Dictionary& additionalUserInfo) {
  if (!DVCRContextIsReady()) return;
  DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  DVCRWritableContext* writable = DVCRContextWritable();
  if (writable == nullptr) return;
  void* frames[kMaxErrorFrames];
  const int frameCount = ::backtrace(frames, kMaxErrorFrames);
  const auto seconds = static_cast<uint64_t>(ns::Clock::now().timeIntervalSince1970());
  DVCRUserLoggingWriteAndCheckABFiles(
      &readonly->logging.errorStorage, &writable->logging.activeErrorPath, [&](DVCRFile* file) {
        DVCRFileWriteSectionStart(file, "error");
        DVCRFileWriteHashStart(file);
        DVCRFileWriteHashEntryHexEncodedString(file, "domain", error.domain().c_str());
        DVCRFileWriteHashEntryInt64(file, "code", error.code());
        DVCRFileWriteHashEntryUint64(file, "time", seconds);
        DVCRFileWriteHashKey(file, "stacktrace");
        DVCRFileWriteArrayStart(file);
        for (int i = 0; i < frameCount; ++i) DVCRFileWriteArrayEntryUint64(file, reinterpret_cast<uintptr_t>(frames[i]));
        DVCRFileWriteArrayEnd(file);
        writeUserInfo(file, "info", error.userInfo());
        writeUserInfo(file, "extra_info", additionalUserInfo);
        DVCRFileWriteHashEnd(file);
        DVCRFileWriteSectionEnd(file);
      });
}
