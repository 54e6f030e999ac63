// The one measurement log. Every class of the measurement library reports
// its diagnostics here with a level and a numeric code; a printed line goes
// through the utilities logger (ZULLogger.h, by MSRASLLogger) as
//   "<version> - <DudUziroruvoza>[I-ACS034005] <message>[: <contexts>]"
//
// Levels (signed 64-bit):
//   level  name       logger level  silent  monitored
//   0      "ERROR"    3             no      no
//   1      "ERROR"    3             no      yes
//   2      "ERROR"    3             yes     yes
//   3      "WARNING"  4             no      no
//   4      "WARNING"  4             no      yes
//   5      "WARNING"  4             yes     yes
//   6      "NOTICE"   5             no      no
//   7      "DEBUG"    7             no      no
//   8      (none)     7             no      no
//   >8     (none)     4             yes     yes
// A level prints when the logger would print its mapped level and it is not
// silent; 8 and above pass only while verbose logging is on. Each "%" of the
// message reaches the logger doubled.
//
// The health sample: each monitored message counts into one entry kept in
// the suite "com.zorori.zmp.measurement.monitor" under
// "/zorori/measurement/health_monitor" as [encoded context, population,
// key, start date]; by reservoir sampling the entry holds each of the
// messages seen with equal chance. Bundling takes it once per sampling
// period (monitoringDataForDispatch...).
//
// Encoded contexts keep personal data out of the sample (and out of printed
// lines when encodeContexts is on): "" for nil, "-" for a text, a number as
// itself up to 99 in magnitude and as its decade beyond ("100...999",
// "-9999...-1000"), an error as its domain, an exception as its last
// measurement symbol, anything else "?".
//
// Debug mode and verbose logging are switched by launch arguments or by
// flags kept in the measurement store; see initWithLogLevel.
//
// Threads: any thread may log. Printing and the sample live on the serial
// queue "MSRMonitorQueue"; the level and the switches are atomics and the
// tag is behind a lock, so a switch or a new tag may come from any thread.
// The monitor never fails towards its caller.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

namespace dispatch {
class Queue;
}
class MSRASLLogger;
class MSRMonitoringSampledData;
class MSRUserDefaults;

// What a message carries beside its text: a value (null stands for nil), an
// error or an exception. Made implicitly from any of them, and from
// anything an ns::Value is made from ("text", 12, 2.5).
class MSRLogContext {
 public:
  MSRLogContext(ns::Value value) : content_(std::move(value)) {}
  MSRLogContext(ns::Error error) : content_(std::move(error)) {}
  MSRLogContext(ns::Exception exception) : content_(std::move(exception)) {}
  template <class T>
    requires(std::is_constructible_v<ns::Value, T> && !std::is_same_v<std::remove_cvref_t<T>, ns::Value>)
  MSRLogContext(T&& value) : content_(ns::Value(std::forward<T>(value))) {}

  // The value, or nullptr when the context is not one.
  const ns::Value* value() const { return std::get_if<ns::Value>(&content_); }
  // The error, or nullptr when the context is not one.
  const ns::Error* error() const { return std::get_if<ns::Error>(&content_); }
  // The exception, or nullptr when the context is not one.
  const ns::Exception* exception() const { return std::get_if<ns::Exception>(&content_); }
  // The context as a printed line shows it: "(nil)" for null, a value's or
  // an error's description, "<symbol>: <reason>" for an exception.
  std::string text() const;
  // The context in encoded form (see above).
  std::string encoded() const;

 private:
  std::variant<ns::Value, ns::Error, ns::Exception> content_;
};

class MSRMonitor : public std::enable_shared_from_this<MSRMonitor> {
 public:
  // initWithLogLevel with level 6 and a new MSRASLLogger.
  static std::shared_ptr<MSRMonitor> initWithLibraryVersion(int64_t libraryVersion);
  // Queues the migration of an older sample and the loading of the sample
  // on the monitor queue; then, unless the app came from the store, reads
  // the switches:
  // - the logger's level is left to the core when the arguments hold
  //   "-ZOVDebugDisabled" or "-ZOVDebugEnabled" and the core's class
  //   "VEDEvevuduzazado" is registered;
  // - debug mode off with "-noMSRAnalyticsDebugEnabled",
  //   "-noVOZIzizuzoveDebugEnabled" or "-ZOVDebugDisabled", else on with the
  //   stored flag or "-MSRAnalyticsDebugEnabled", "-VOZIzizuzoveDebugEnabled"
  //   or "-ZOVDebugEnabled";
  // - verbose logging off with "-MSRAnalyticsVerboseLoggingDisabled" or
  //   "-VOZIzizuzoveVerboseLoggingDisabled", else on with the stored flag or
  //   "-MSRAnalyticsVerboseLoggingEnabled" or
  //   "-VOZIzizuzoveVerboseLoggingEnabled".
  static std::shared_ptr<MSRMonitor> initWithLogLevel(int64_t logLevel, std::shared_ptr<MSRASLLogger> logger,
                                                      int64_t libraryVersion);
  virtual ~MSRMonitor();
  MSRMonitor(const MSRMonitor&) = delete;
  MSRMonitor& operator=(const MSRMonitor&) = delete;

  // A message without a text prints as "(Message was nil)", an empty one as
  // "(Message was empty)".
  void logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message);
  void logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                    const MSRLogContext& context);
  void logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                    const MSRLogContext& context1, const MSRLogContext& context2);
  void logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                    const MSRLogContext& context1, const MSRLogContext& context2, const MSRLogContext& context3);
  // The form every other one ends in.
  void logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                    const std::vector<MSRLogContext>& contexts);

  int64_t logLevel() const { return logLevel_.load(); }
  void setLogLevel(int64_t level) { logLevel_.store(level); }
  bool isDebugModeEnabled() const { return debugModeEnabled_.load(); }
  bool isVerboseLoggingEnabled() const { return verboseLoggingEnabled_.load(); }
  // On: level 7, the logger's level 7 (unless left to the core) and the
  // stored flag "/zorori/measurement/debug_mode". A store install, or off:
  // level 6, the logger's level 5, the flag removed.
  void setDebugModeEnabled(bool enabled);
  // On: level 8, the logger's level 7 and the stored flag
  // "/zorori/measurement/verbose_logging". A store install, or off: level 7
  // in debug mode (else 6), the logger's matching level, the flag removed.
  void setVerboseLoggingEnabled(bool enabled);
  bool encodeContexts() const { return encodeContexts_.load(); }
  void setEncodeContexts(bool encode) { encodeContexts_.store(encode); }
  std::string logTag() const;
  void setLogTag(const std::string& tag);
  bool isLoggableLevel(int64_t level) const;

  // What bundling sends of the sample, waiting on the monitor queue:
  // "<population>:<key>:<context>" (or "<population>:<key>" without a
  // context) once the entry is older than the period, clearing it; "0:"
  // when there is no entry and the last sampling lies more than a period
  // away; otherwise nothing.
  std::optional<std::string> monitoringDataForDispatchWithSamplePeriod(double period, double lastSampledTimestamp);
  // Removes the debug flag and the sample (also its older place in the
  // measurement store), waiting on the monitor queue.
  void clearMonitoringData();

  static std::optional<std::string> logLevelDescriptionFromLogLevel(int64_t level);
  static bool isSilentLevel(int64_t level);
  static bool isMonitorableLevel(int64_t level);
  static std::string encodedStringWithContextArray(const std::vector<MSRLogContext>& contexts, bool insertSpaces);
  static std::string encodedStringWithContextObject(const MSRLogContext& context);
  static std::string stringWithLogMessage(const std::optional<std::string>& message, int64_t level,
                                          const std::vector<MSRLogContext>& contexts, bool encodeContexts);
  // The first frame from the third on whose symbol holds "MSR" (any case),
  // else the exception's name.
  static std::string lastMSRSymbolFromException(const ns::Exception& exception);
  // "1" + E (levels 0-2), W (3-5) or ? + "_" + version + ":" + message.
  static std::string monitoringDataKeyWithMessage(const std::optional<std::string>& message, int64_t level,
                                                  int64_t libraryVersion);

  // The serial monitor queue.
  const std::shared_ptr<dispatch::Queue>& monitorQueue() const { return monitorQueue_; }

 protected:
  MSRMonitor(int64_t logLevel, std::shared_ptr<MSRASLLogger> logger, int64_t libraryVersion);

 private:
  void start();
  void migrateMonitorDataOnMonitorQueue();
  void loadSampleOnMonitorQueue();
  void saveSampleOnMonitorQueue();

  std::atomic<int64_t> logLevel_;
  const std::shared_ptr<MSRASLLogger> logger_;
  const int64_t libraryVersion_;
  const std::shared_ptr<dispatch::Queue> monitorQueue_;
  const std::shared_ptr<MSRUserDefaults> monitorUserDefaults_;
  // Touched only on the monitor queue.
  std::unique_ptr<MSRMonitoringSampledData> monitoringSampledData_;
  std::atomic<bool> deferToZOVLogger_{false};
  std::atomic<bool> debugModeEnabled_{false};
  std::atomic<bool> verboseLoggingEnabled_{false};
  std::atomic<bool> encodeContexts_{false};
  mutable std::mutex tagMutex_;
  std::string logTag_;
};
