// Custom keys: the user's (setCustomValue:forKey:) and the crash reporter's
// internal ones, each a key-value store of two record files in the report
// folder. Writes append one line per key to the incremental file:
//   {"kv":{"key":<hex>,"value":<hex, or null for a removed key>}}
// Once at least `maxIncrementalCount` lines were appended since the last
// compaction, or a key is removed, a compaction merges both files into the
// compacted file (same line form, at most `maxCount` keys) and deletes the
// incremental file.
//
// A compaction never risks what is already compacted: the merged set is
// written to a temporary file that then replaces the compacted file in one
// rename, and only after that is the incremental file deleted. A failure or
// a process killed at any moment leaves either the old files or the new.
//
// Threading: writes run on the crash context's logging queue (the caller
// waits); compactions are queued behind them. Nothing is written before the
// crash context is ready.
#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "Libraries/CrashReporter/DVCRUserLoggingStorage.h"
#include "Platform/Foundation/Value.h"

// The live report's user and internal stores. A null value removes the key;
// any other value is stored as its description.
void DVCRUserLoggingSetUserKey(const std::string& key, const ns::Value& value);
void DVCRUserLoggingSetUserKeys(const ns::Dictionary& keysAndValues);
void DVCRUserLoggingSetInternalKey(const std::string& key, const ns::Value& value);

// The same for a given store and its counter of appended lines.
void DVCRUserLoggingRecordKeyValue(const std::string& key, const ns::Value& value, DVCRKeyValueStorage* storage,
                                   std::atomic<uint32_t>* counter);
void DVCRUserLoggingRecordKeysAndValues(const ns::Dictionary& keysAndValues, DVCRKeyValueStorage* storage,
                                        std::atomic<uint32_t>* counter);

// One internal pair (none removes it), written at once: only for blocks
// already running on the logging queue.
void DVCRUserLoggingWriteInternalKeyValue(const std::string& key, const std::optional<std::string>& value);

// Appends the pairs (values are strings or null) and counts them; queues a
// compaction when the count reaches the store's limit or `forceCompaction`.
void DVCRUserLoggingWriteKeysAndValues(const ns::Dictionary& keysAndValues, DVCRKeyValueStorage* storage,
                                       std::atomic<uint32_t>* counter, bool forceCompaction);
void DVCRUserLoggingCompactKVEntries(DVCRKeyValueStorage* storage);

// The current keys and values: the compacted entries, then the incremental
// ones in order (null removes). Keys and values stay hex as stored unless
// `decodeHex`. Empty before the crash context is ready.
ns::Dictionary DVCRUserLoggingGetCompactedKVEntries(DVCRKeyValueStorage* storage, bool decodeHex);
