// The user's log lines and non-fatal errors, kept as records in the current
// launch's report folder (or an earlier report's, through its own
// descriptors). Each kind is an A/B store: records go to the active file;
// once it outgrows its limit (bytes for the log, a count for errors) the
// other file is emptied and becomes active. So the log holds at most about
// twice its size limit, the errors at most twice their count.
//
// Record lines:
//   {"log":{"msg":<hex>,"time":<milliseconds since 1970>}}
//   {"error":{"domain":<hex>,"code":<signed>,"time":<seconds since 1970>,
//             "stacktrace":[<return address>,...],
//             "info":[[<hex key>,<hex value>],...],
//             "extra_info":[[<hex key>,<hex value>],...]}}
// ("info" and "extra_info" are left out when empty; values are their
// descriptions.)
//
// Threading: every file write runs on the crash context's logging queue;
// callers wait for the write, the size or count check runs after it. The
// active paths are read and changed under one process-wide mutex, which
// crash-time code never takes. Nothing is written before the crash context
// is ready.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "Libraries/CrashReporter/DVCRUserLoggingStorage.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Format.h"

struct DVCRFile;
struct DVCRUserLoggingReadOnlyContext;
struct DVCRUserLoggingWritableContext;

// When the context is built: the active log, error and custom-exception
// paths designate their A files, the key counters start at 0 and both key
// stores compact after 64 appended entries.
void DVCRUserLoggingInit(DVCRUserLoggingReadOnlyContext* readonly, DVCRUserLoggingWritableContext* writable);

// The mutex that guards every store's active path.
std::mutex& DVCRUserLoggingLock();

// Runs `block` on the crash context's logging queue and waits (inline when
// already on it, or when there is no queue); or queues it.
void DVCRUserLoggingSync(const std::function<void()>& block);
void DVCRUserLoggingAsync(std::function<void()> block);

// A log line, formatted as ns::format does ("%@" included), in the live log
// store (DVCRLog) or a given one. A null format does nothing. Before the
// context is ready the line is only reported through the crash reporter's
// logger. A message longer than the store's size limit is cut to it (at a
// character boundary), with a warning.
template <class... Args>
void DVCRLog(const char* format, const Args&... args);
template <class... Args>
void DVCRLogToStore(DVCRABStorage* storage, const char** activePath, const char* format, const Args&... args);
// The shared body: the live store when `storage` is null.
void DVCRUserLoggingWriteLogMessage(DVCRABStorage* storage, const char** activePath, const std::string& message);

// An error line in the live error store, with the caller's return addresses
// and `additionalUserInfo` as "extra_info". Nothing when the store holds no
// errors (collecting them is off).
void DVCRUserLoggingRecordErrorEvent(const ns::Error& error, const ns::Dictionary& additionalUserInfo = {});

// Appends one record through `writer` to the active file, then schedules
// the check below with the file's new length.
using DVCRUserLoggingRecordWriter = std::function<void(DVCRFile* file)>;
void DVCRUserLoggingWriteAndCheckABFiles(DVCRABStorage* storage, const char** activePath,
                                         const DVCRUserLoggingRecordWriter& writer);
// Swaps to the other file (emptied first) once the active one is full.
void DVCRUserLoggingCheckAndSwapABFiles(DVCRABStorage* storage, const char** activePath, uint64_t finalLength);

template <class... Args>
void DVCRLog(const char* format, const Args&... args) {
  if (format != nullptr) DVCRUserLoggingWriteLogMessage(nullptr, nullptr, ns::format(format, args...));
}

template <class... Args>
void DVCRLogToStore(DVCRABStorage* storage, const char** activePath, const char* format, const Args&... args) {
  if (format != nullptr && storage != nullptr) DVCRUserLoggingWriteLogMessage(storage, activePath, ns::format(format, args...));
}
