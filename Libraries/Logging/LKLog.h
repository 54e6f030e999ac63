// LKLog: the single entry point through which the application logs.
//
// A call builds one record (LKLogMessage) on the caller's thread, expanding
// the format there, and hands it to one process-wide serial queue labelled
// "logkit". There every registered logger whose level shares a bit with the
// record's flag gets it, on the logger's own queue; the logging queue takes
// the next record only when every interested logger has handled this one,
// so each logger sees records in the order they were queued. Asynchronous
// calls return at once; synchronous ones return when every interested
// logger is done (inline when already on the logging queue). Records that
// arrive faster than the loggers take them are handed over in batches, each
// logger still getting them one by one in order.
//
// Limits: code on the logging queue, or inside a logger's logMessage, must
// not call flushLog, allLoggers or allLoggersWithLevel, and a logger must
// not log synchronously from inside logMessage (each would wait for itself).
#pragma once

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Libraries/Logging/LKLogMessage.h"
#include "Libraries/Logging/LKLogger.h"
#include "Libraries/Logging/LKLoggerNode.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Dispatch/Queue.h"

// A mutex that spins a while before it sleeps: the queue's lock is held
// for a swap or an append only, so a caller that finds it taken is better
// off trying again at once than paying a sleep and a wake-up.
class LKSpinningMutex {
 public:
  LKSpinningMutex() = default;
  ~LKSpinningMutex() { ::pthread_mutex_destroy(&mutex_); }
  LKSpinningMutex(const LKSpinningMutex&) = delete;
  LKSpinningMutex& operator=(const LKSpinningMutex&) = delete;
  void lock() { ::pthread_mutex_lock(&mutex_); }
  void unlock() { ::pthread_mutex_unlock(&mutex_); }

 private:
  pthread_mutex_t mutex_ = PTHREAD_ADAPTIVE_MUTEX_INITIALIZER_NP;
};

// A class that publishes a log level of its own.
struct LKLogRegisteredClass {
  std::string name;
  std::function<uint64_t()> logLevel;
  std::function<void(uint64_t)> setLogLevel;
};

class LKLog {
 public:
  static LKLog& sharedInstance();

  // The logging queue, for loggers and formatters that must synchronise
  // with the core, and whether the caller runs on it.
  static const std::shared_ptr<dispatch::Queue>& loggingQueue();
  static bool isOnLoggingQueue();
  // Runs `block` on the logging queue after every record queued before
  // the call has been handed to the loggers and before any queued after it;
  // without and with waiting (inline when already on the logging queue).
  static void performOnLoggingQueue(std::function<void()> block);
  static void performOnLoggingQueueAndWait(const std::function<void()>& block);

  // The main form: `format` (null: nothing happens) is expanded with `args`
  // by ns::format on the calling thread. `file` and `function` must not be
  // null; `tag` may be.
  template <class... Args>
  static void log(bool asynchronous, uint64_t level, uint64_t flag, int64_t context, const char* file,
                  const char* function, uint64_t line, const ns::Value* tag, const char* format,
                  const Args&... args) {
    if (!format) return;
    if (asynchronous) {
      if constexpr (sizeof...(Args) == 0) {
        sharedInstance().queueReusedRecord(level, flag, context, file, function, line, tag, format, nullptr, {});
      } else {
        const ns::FormatArg list[] = {ns::FormatArg(args)...};
        sharedInstance().queueReusedRecord(level, flag, context, file, function, line, tag, format, nullptr,
                                           std::span<const ns::FormatArg>(list, sizeof...(Args)));
      }
      return;
    }
    sharedInstance().queueLogMessage(
        LKLogMessage::withFormat(format, level, flag, context, file, std::string(function), line, tagFrom(tag),
                                 0, std::nullopt, args...),
        asynchronous);
  }
  // An already formatted line (the failure report builds its own).
  static void log(bool asynchronous, uint64_t level, uint64_t flag, int64_t context, const char* file,
                  const char* function, uint64_t line, const ns::Value* tag, const std::string& message);
  // A ready record, queued as is.
  static void log(bool asynchronous, LKLogMessage message);

  void queueLogMessage(LKLogMessage message, bool asynchronously);

  // Registry. Additions and removals take effect later, on the logging
  // queue, in call order. A null logger is ignored. The same logger added
  // again with the same level is not added twice; with another level it
  // gets a further node (and matching records once per node).
  static void addLogger(std::shared_ptr<LKLogger> logger) { addLogger(std::move(logger), LKLogLevelAll); }
  static void addLogger(std::shared_ptr<LKLogger> logger, uint64_t level);
  // Removes the first node of `logger` only.
  static void removeLogger(const std::shared_ptr<LKLogger>& logger);
  static void removeAllLoggers();
  // Waits on the logging queue.
  static std::vector<std::shared_ptr<LKLogger>> allLoggers();
  static std::vector<LKLoggerInformation> allLoggersWithLevel();
  // Returns when every logger has flushed.
  static void flushLog();

  // Classes with a log level of their own.
  static void registerClass(LKLogRegisteredClass registeredClass);
  static bool isRegisteredClass(const std::string& className);
  static std::vector<LKLogRegisteredClass> registeredClasses();
  static std::vector<std::string> registeredClassNames();
  // All bits set for a class that is not registered.
  static uint64_t levelForClassWithName(const std::string& className);
  static void setLevelForClassWithName(uint64_t level, const std::string& className);

  // The notification on which every logger is flushed.
  static constexpr const char* kApplicationWillTerminateNotification = "UIApplicationWillTerminateNotification";

 private:
  LKLog();
  static LKLogTag tagFrom(const ns::Value* tag) { return tag ? std::make_shared<const ns::Value>(*tag) : nullptr; }
  // An asynchronous record, written into a spent record's storage: the
  // text of `format` with `args`, or `formatted` when given.
  void queueReusedRecord(uint64_t level, uint64_t flag, int64_t context, const char* file, const char* function,
                         uint64_t line, const ns::Value* tag, std::string_view format,
                         const std::string* formatted, std::span<const ns::FormatArg> args);
  // Puts the caller's record in line (under pendingMutex_) and schedules a
  // drain for its epoch when none is.
  void lt_enqueueLocked(LKLogMessage& record, bool swapIn);
  // On the logging queue.
  void lt_log(const LKLogMessage& message);
  // Hands the waiting asynchronous records of `epoch` to the loggers.
  void lt_drain(uint64_t epoch);
  // Waits at most `most` for arrivals_ (records queued and epochs begun)
  // to pass `seen` by `wanted`; true when they did.
  bool waitForArrivals(uint64_t seen, uint64_t wanted, std::chrono::microseconds most);
  void lt_logBatch(std::span<const LKLogMessage> batch);
  void lt_addLogger(const std::shared_ptr<LKLogger>& logger, uint64_t level);
  void lt_removeLogger(const std::shared_ptr<LKLogger>& logger);
  void lt_removeAllLoggers();
  void lt_flush();

  std::vector<std::shared_ptr<LKLoggerNode>> loggers_;
  // Asynchronous records wait here in call order; one block on the logging
  // queue takes all that gathered, so a burst costs one queue hop, not one
  // per record. Every other block queued starts a new epoch, and a record
  // is taken by a block of its own epoch, so records and other blocks keep
  // the order of their calls.
  //
  // The first pendingCount_ records wait; those after them are spent ones
  // a batch handed back, whose strings keep their storage for the callers
  // to write into. The two vectors are swapped whole, so neither the
  // records nor the vectors are made again from nothing at every batch.
  LKSpinningMutex pendingMutex_;
  std::vector<LKLogMessage> pendingMessages_;
  size_t pendingCount_ = 0;
  std::vector<uint64_t> pendingEpochs_;  // of each waiting record
  uint64_t epoch_ = 0;
  // Counts records queued and epochs begun, so that a drain waiting for
  // more can watch it without the lock.
  std::atomic<uint64_t> arrivals_{0};
  bool drainScheduled_ = false;  // for the current epoch
  // The batch being handed to the loggers, on the logging queue; between
  // batches it holds spent records only, swapped back to the callers.
  std::vector<LKLogMessage> lt_batch_;
};
