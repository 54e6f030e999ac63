#include "Libraries/CrashReporter/DVCRUserLoggingKeys.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRUserLogging.h"
#include "Libraries/CrashReporter/DVCRUtilities.h"

namespace {

// The "kv" objects of a record file, in order.
std::vector<ns::Value> readKeyValueObjects(const char* path) {
  auto sections = DVCRFileReadSections(path, true, [](const ns::Value& section) -> std::optional<ns::Value> {
    const ns::Value* kv = section.find("kv");
    if (kv == nullptr || !kv->isDictionary()) return std::nullopt;
    return *kv;
  });
  return sections.value_or(std::vector<ns::Value>{});
}

std::string decoded(const std::string& hex) { return DVCRFileHexDecodeString(hex.c_str()).value_or(""); }

void writeKeyValueLine(DVCRFile* file, const char* key, const char* value, bool hexEncode) {
  DVCRFileWriteSectionStart(file, "kv");
  DVCRFileWriteHashStart(file);
  if (hexEncode) {
    DVCRFileWriteHashEntryHexEncodedString(file, "key", key);
    if (value != nullptr) {
      DVCRFileWriteHashEntryHexEncodedString(file, "value", value);
    } else {
      DVCRFileWriteHashEntryString(file, "value", nullptr);
    }
  } else {
    DVCRFileWriteHashEntryString(file, "key", key);
    DVCRFileWriteHashEntryString(file, "value", value);
  }
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteSectionEnd(file);
}

// Writes the merged set to a file beside the compacted one and renames it
// over it; false (the compacted file untouched) on any failure.
bool replaceCompactedFile(const DVCRKeyValueStorage* storage, const ns::Dictionary& entries) {
  const std::string temporary = std::string(storage->compactedPath) + ".tmp";
  DVCRFile file;
  if (!DVCRFileInitWithPathMode(&file, temporary.c_str(), false, true)) {
    DVCRSDKLogWarn("Error: Unable to open compacted k-v file\n");
    return false;
  }
  size_t kept = 0;
  for (const auto& [key, value] : entries) {
    if (kept++ == storage->maxCount) break;
    writeKeyValueLine(&file, key.c_str(), value.stringValue().c_str(), false);
  }
  if (!DVCRFileClose(&file) || ::rename(temporary.c_str(), storage->compactedPath) != 0) {
    DVCRSDKLogWarn("Error: Unable to replace compacted KV store %s\n", strerror(errno));
    DVCRUnlinkIfExists(temporary.c_str());
    return false;
  }
  return true;
}

ns::Value converted(const ns::Value& value, bool* removal) {
  if (value.isNull()) {
    *removal = true;
    return ns::Value();
  }
  return ns::Value(value.description());
}

}  // namespace

void DVCRUserLoggingRecordKeysAndValues(const ns::Dictionary& keysAndValues, DVCRKeyValueStorage* storage,
                                        std::atomic<uint32_t>* counter) {
  if (!DVCRContextIsReady()) return;
  if (keysAndValues.empty()) {
    DVCRSDKLogWarn("User provided empty key/value dictionary\n");
    return;
  }
  bool removal = false;
  ns::Dictionary strings;
  for (const auto& [key, value] : keysAndValues) strings.set(key, converted(value, &removal));
  DVCRUserLoggingSync([&] { DVCRUserLoggingWriteKeysAndValues(strings, storage, counter, removal); });
}

void DVCRUserLoggingRecordKeyValue(const std::string& key, const ns::Value& value, DVCRKeyValueStorage* storage,
                                   std::atomic<uint32_t>* counter) {
  ns::Dictionary one;
  one.set(key, value);
  DVCRUserLoggingRecordKeysAndValues(one, storage, counter);
}

void DVCRUserLoggingSetUserKeys(const ns::Dictionary& keysAndValues) {
  if (!DVCRContextIsReady()) return;
  DVCRUserLoggingRecordKeysAndValues(keysAndValues, &DVCRContextReadOnly()->logging.userKVStorage,
                                     &DVCRContextWritable()->logging.userKVCount);
}

void DVCRUserLoggingSetUserKey(const std::string& key, const ns::Value& value) {
  if (!DVCRContextIsReady()) return;
  DVCRUserLoggingRecordKeyValue(key, value, &DVCRContextReadOnly()->logging.userKVStorage,
                                &DVCRContextWritable()->logging.userKVCount);
}

void DVCRUserLoggingSetInternalKey(const std::string& key, const ns::Value& value) {
  if (!DVCRContextIsReady()) return;
  DVCRUserLoggingRecordKeyValue(key, value, &DVCRContextReadOnly()->logging.internalKVStorage,
                                &DVCRContextWritable()->logging.internalKVCount);
}

void DVCRUserLoggingWriteInternalKeyValue(const std::string& key, const std::optional<std::string>& value) {
  if (!DVCRContextIsReady()) return;
  ns::Dictionary one;
  one.set(key, value ? ns::Value(*value) : ns::Value());
  DVCRUserLoggingWriteKeysAndValues(one, &DVCRContextReadOnly()->logging.internalKVStorage,
                                    &DVCRContextWritable()->logging.internalKVCount, false);
}

void DVCRUserLoggingWriteKeysAndValues(const ns::Dictionary& keysAndValues, DVCRKeyValueStorage* storage,
                                       std::atomic<uint32_t>* counter, bool forceCompaction) {
  if (storage == nullptr || counter == nullptr) {
    DVCRSDKLogError("Bad parameters\n");
    return;
  }
  DVCRFile file;
  if (!DVCRFileInitWithPathMode(&file, storage->incrementalPath, true, true)) {
    DVCRSDKLogError("Unable to open k-v file\n");
    return;
  }
  for (const auto& [key, value] : keysAndValues) {
    writeKeyValueLine(&file, key.c_str(), value.isNull() ? nullptr : value.stringValue().c_str(), true);
  }
  DVCRFileClose(&file);
  // "At least": a write of several keys can jump past the limit.
  const uint32_t count = counter->fetch_add(static_cast<uint32_t>(keysAndValues.size())) +
                         static_cast<uint32_t>(keysAndValues.size());
  if (count >= storage->maxIncrementalCount || forceCompaction) {
    DVCRUserLoggingAsync([storage, counter] {
      DVCRUserLoggingCompactKVEntries(storage);
      *counter = 0;
    });
  }
}

namespace {

// Both files merged, as stored (hex).
ns::Dictionary mergedEntries(const DVCRKeyValueStorage* storage) {
  ns::Dictionary entries;
  for (const ns::Value& kv : readKeyValueObjects(storage->compactedPath)) {
    const ns::Value* key = kv.find("key");
    const ns::Value* value = kv.find("value");
    if (key == nullptr || value == nullptr || key->isNull() || value->isNull()) {
      DVCRSDKLogError("compacted key/value contains a nil and must be dropped\n");
      continue;
    }
    entries.set(key->stringValue(), *value);
  }
  for (const ns::Value& kv : readKeyValueObjects(storage->incrementalPath)) {
    const ns::Value* key = kv.find("key");
    const ns::Value* value = kv.find("value");
    if (key == nullptr || value == nullptr || key->isNull()) {
      DVCRSDKLogError("incremental key/value contains a nil and must be dropped\n");
      continue;
    }
    if (value->isNull()) {
      entries.remove(key->stringValue());
    } else {
      entries.set(key->stringValue(), *value);
    }
  }
  return entries;
}

}  // namespace

ns::Dictionary DVCRUserLoggingGetCompactedKVEntries(DVCRKeyValueStorage* storage, bool decodeHex) {
  if (storage == nullptr || !DVCRContextIsReady()) return {};
  ns::Dictionary entries = mergedEntries(storage);
  if (!decodeHex) return entries;
  ns::Dictionary decodedEntries;
  for (const auto& [key, value] : entries) decodedEntries.set(decoded(key), ns::Value(decoded(value.stringValue())));
  return decodedEntries;
}

void DVCRUserLoggingCompactKVEntries(DVCRKeyValueStorage* storage) {
  if (storage == nullptr || storage->compactedPath == nullptr || storage->incrementalPath == nullptr) {
    DVCRSDKLogError("Error: storage invalid\n");
    return;
  }
  // Merged directly, not through the reader, which reads nothing before the
  // context is ready: an empty merge here would replace every key.
  ns::Dictionary merged = mergedEntries(storage);
  if (merged.size() > storage->maxCount) {
    DVCRSDKLogInfo("Truncating %d keys from KV set, which is above max %d\n",
                   static_cast<int>(merged.size() - storage->maxCount), static_cast<int>(storage->maxCount));
  }
  if (!replaceCompactedFile(storage, merged)) return;  // the incremental file keeps its entries
  if (!DVCRUnlinkIfExists(storage->incrementalPath)) {
    DVCRSDKLogWarn("Error: Unable to remove incremental KV store after compaction %s\n", strerror(errno));
  }
}
