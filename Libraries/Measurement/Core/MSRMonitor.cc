#include "Libraries/Measurement/Core/MSRMonitor.h"

#include <cmath>
#include <functional>

#include "Libraries/Measurement/Core/MSRAEU.h"
#include "Libraries/Measurement/Core/MSRASLLogger.h"
#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/MSRMonitoringSampledData.h"
#include "Libraries/Measurement/Core/testing/MSRMonitorTesting.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Libraries/TelemetryFoundation/testing/ZULLoggerTesting.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/DecimalNumber.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/Foundation/StringCase.h"
#include "Platform/Runtime/Runtime.h"

namespace {

constexpr const char* kDefaultLogTag = "<DudUziroruvoza>";
constexpr const char* kMonitorSuiteName = "com.zorori.zmp.measurement.monitor";
constexpr const char* kHealthMonitorKey = "/zorori/measurement/health_monitor";
constexpr const char* kMigrationStateKey = "/zorori/measurement/monitor_migration_state";
constexpr const char* kDebugModeKey = "/zorori/measurement/debug_mode";
constexpr const char* kVerboseLoggingKey = "/zorori/measurement/verbose_logging";

struct Observer {
  std::mutex mutex;
  std::function<void(const MSRMonitorMessage&)> function;
};

Observer& observer() {
  static Observer* instance = new Observer();
  return *instance;
}

// Every monitor made, so that tests can wait until each has done its queued
// work before their device goes away.
struct Registry {
  std::mutex mutex;
  std::vector<std::weak_ptr<MSRMonitor>> monitors;
};

Registry& registry() {
  static Registry* instance = new Registry();
  return *instance;
}

using u128 = unsigned __int128;

// Whole numbers below 10^38 print as their digits.
std::string decimal(u128 value) { return ns::DecimalNumber(value, 0, false).stringValue(); }

// A number's integer value as the platform's long long conversion gives it,
// but without its undefined corners: NaN is 0, and infinities and doubles
// beyond the 64-bit range saturate.
__int128 integerOf(const ns::Value& number) {
  if (number.isReal()) {
    const double d = number.doubleValue();
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775808.0) return INT64_MAX;
    if (d < -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(d);
  }
  if (number.isUnsigned()) return static_cast<__int128>(number.unsignedValue());
  return number.integerValue();
}

// Small numbers as they are; larger ones as their decade. The magnitude
// and the decade's bounds are worked out in 128 bits: the smallest int64
// has no positive counterpart, and ten times a power of ten from 10^18 on
// leaves 64 bits.
std::string encodedNumber(const ns::Value& number) {
  const __int128 value = integerOf(number);
  const u128 magnitude = value < 0 ? u128(-value) : u128(value);
  if (magnitude <= 99) return value < 0 ? "-" + decimal(magnitude) : decimal(magnitude);
  u128 power = 1;
  while (power * 10 <= magnitude) power *= 10;
  if (value > 0) return decimal(power) + "..." + decimal(power * 10 - 1);
  return "-" + decimal(power * 10 - 1) + "...-" + decimal(power);
}

bool containsArgument(const std::vector<std::string>& arguments, std::initializer_list<const char*> names) {
  for (const auto& argument : arguments) {
    for (const char* name : names) {
      if (argument == name) return true;
    }
  }
  return false;
}

bool storedFlag(std::string_view key) {
  auto value = MSRUserDefaults::standardUserDefaults()->objectForKey(key);
  return value && value->boolValue();
}

}  // namespace

// MARK: - Contexts

std::string MSRLogContext::text() const {
  if (const ns::Error* e = error()) return e->description();
  if (const ns::Exception* x = exception()) {
    return MSRMonitor::lastMSRSymbolFromException(*x) + ": " + x->reason();
  }
  const ns::Value& v = *value();
  return v.isNull() ? "(nil)" : v.description();
}

std::string MSRLogContext::encoded() const {
  if (const ns::Error* e = error()) return e->domain().empty() ? "-" : e->domain();
  if (const ns::Exception* x = exception()) {
    std::string symbol = MSRMonitor::lastMSRSymbolFromException(*x);
    return symbol.empty() ? "-" : symbol;
  }
  const ns::Value& v = *value();
  if (v.isNull()) return "";
  if (v.isString()) return "-";
  if (v.isNumber()) return encodedNumber(v);
  return "?";
}

// MARK: - Class operations

std::optional<std::string> MSRMonitor::logLevelDescriptionFromLogLevel(int64_t level) {
  if (level >= 0 && level <= 2) return "ERROR";
  if (level >= 3 && level <= 5) return "WARNING";
  if (level == 6) return "NOTICE";
  if (level == 7) return "DEBUG";
  return std::nullopt;
}

bool MSRMonitor::isSilentLevel(int64_t level) { return level == 2 || level == 5 || level > 8; }

bool MSRMonitor::isMonitorableLevel(int64_t level) {
  return level == 1 || level == 2 || level == 4 || level == 5 || level > 8;
}

std::string MSRMonitor::encodedStringWithContextObject(const MSRLogContext& context) { return context.encoded(); }

std::string MSRMonitor::encodedStringWithContextArray(const std::vector<MSRLogContext>& contexts,
                                                      bool insertSpaces) {
  std::string out;
  for (size_t i = 0; i < contexts.size(); ++i) {
    if (i > 0) out += insertSpaces ? ", " : ",";
    out += contexts[i].encoded();
  }
  return out;
}

std::string MSRMonitor::stringWithLogMessage(const std::optional<std::string>& message, int64_t /*level*/,
                                             const std::vector<MSRLogContext>& contexts, bool encodeContexts) {
  std::string line = !message ? "(Message was nil)" : message->empty() ? "(Message was empty)" : *message;
  if (contexts.empty()) return line;
  if (encodeContexts) return line + ": " + encodedStringWithContextArray(contexts, true);
  line += ": ";
  for (size_t i = 0; i < contexts.size(); ++i) {
    if (i > 0) line += ", ";
    line += contexts[i].text();
  }
  return line;
}

std::string MSRMonitor::lastMSRSymbolFromException(const ns::Exception& exception) {
  std::vector<std::string> frames = exception.callStackSymbols();
  if (frames.size() < 2) return exception.name();
  // The first two frames raise the exception; the thrower comes third.
  for (size_t i = 2; i < frames.size(); ++i) {
    std::vector<std::string> pieces;
    size_t at = 0;
    const std::string& frame = frames[i];
    while (at < frame.size()) {
      size_t end = frame.find_first_of(" \t", at);
      if (end == std::string::npos) end = frame.size();
      if (end > at) pieces.push_back(frame.substr(at, end - at));
      at = end + 1;
    }
    if (pieces.size() < 5) continue;
    std::string symbol = pieces[3];
    if (pieces[4] != "+") symbol += " " + pieces[4];
    if (ns::lowercaseString(symbol).find("msr") != std::string::npos) return symbol;
  }
  return exception.name();
}

std::string MSRMonitor::monitoringDataKeyWithMessage(const std::optional<std::string>& message, int64_t level,
                                                     int64_t libraryVersion) {
  const char letter = level >= 0 && level <= 2 ? 'E' : level >= 3 && level <= 5 ? 'W' : '?';
  return std::string("1") + letter + "_" + std::to_string(libraryVersion) + ":" + message.value_or("(null)");
}

// MARK: - Life

MSRMonitor::MSRMonitor(int64_t logLevel, std::shared_ptr<MSRASLLogger> logger, int64_t libraryVersion)
    : logLevel_(logLevel),
      logger_(logger ? std::move(logger) : std::make_shared<MSRASLLogger>()),
      libraryVersion_(libraryVersion),
      monitorQueue_(dispatch::Queue::create("MSRMonitorQueue", dispatch::Queue::Kind::Serial,
                                            dispatch::Priority::Background)),
      monitorUserDefaults_(std::make_shared<MSRUserDefaults>(std::string(kMonitorSuiteName))),
      monitoringSampledData_(std::make_unique<MSRMonitoringSampledData>()),
      logTag_(kDefaultLogTag) {
  monitorQueue_->setTarget(dispatch::Queue::global(dispatch::Priority::Background));
}

MSRMonitor::~MSRMonitor() = default;

std::shared_ptr<MSRMonitor> MSRMonitor::initWithLibraryVersion(int64_t libraryVersion) {
  return initWithLogLevel(6, std::make_shared<MSRASLLogger>(), libraryVersion);
}

std::shared_ptr<MSRMonitor> MSRMonitor::initWithLogLevel(int64_t logLevel, std::shared_ptr<MSRASLLogger> logger,
                                                         int64_t libraryVersion) {
  std::shared_ptr<MSRMonitor> monitor(new MSRMonitor(logLevel, std::move(logger), libraryVersion));
  {
    std::lock_guard lock(registry().mutex);
    auto& monitors = registry().monitors;
    std::erase_if(monitors, [](const std::weak_ptr<MSRMonitor>& m) { return m.expired(); });
    monitors.push_back(monitor);
  }
  monitor->start();
  return monitor;
}

void MSRMonitor::start() {
  std::weak_ptr<MSRMonitor> weak = weak_from_this();
  monitorQueue_->async([weak] {
    if (auto self = weak.lock()) {
      self->migrateMonitorDataOnMonitorQueue();
      self->loadSampleOnMonitorQueue();
    }
  });
  if (MSRAEU::isFAS()) return;
  const std::vector<std::string> arguments = ns::ProcessInfo::processInfo().arguments();
  deferToZOVLogger_ = containsArgument(arguments, {"-ZOVDebugDisabled", "-ZOVDebugEnabled"}) &&
                      rt::classFromString("VEDEvevuduzazado") != nullptr;
  if (containsArgument(arguments, {"-noMSRAnalyticsDebugEnabled", "-noVOZIzizuzoveDebugEnabled",
                                   "-ZOVDebugDisabled"})) {
    setDebugModeEnabled(false);
  } else if (storedFlag(kDebugModeKey) ||
             containsArgument(arguments, {"-MSRAnalyticsDebugEnabled", "-VOZIzizuzoveDebugEnabled",
                                          "-ZOVDebugEnabled"})) {
    setDebugModeEnabled(true);
  }
  if (containsArgument(arguments, {"-MSRAnalyticsVerboseLoggingDisabled", "-VOZIzizuzoveVerboseLoggingDisabled"})) {
    setVerboseLoggingEnabled(false);
  } else if (storedFlag(kVerboseLoggingKey) ||
             containsArgument(arguments,
                              {"-MSRAnalyticsVerboseLoggingEnabled", "-VOZIzizuzoveVerboseLoggingEnabled"})) {
    setVerboseLoggingEnabled(true);
  }
}

// MARK: - Switches

std::string MSRMonitor::logTag() const {
  std::lock_guard lock(tagMutex_);
  return logTag_;
}

void MSRMonitor::setLogTag(const std::string& tag) {
  std::lock_guard lock(tagMutex_);
  logTag_ = tag;
}

void MSRMonitor::setDebugModeEnabled(bool enabled) {
  auto standard = MSRUserDefaults::standardUserDefaults();
  if (enabled && !MSRAEU::isFAS()) {
    logLevel_ = 7;
    if (!deferToZOVLogger_) ZULLoggerSetLevel(ZULLoggerLevelDebug);
    standard->setObject(ns::Value(true), kDebugModeKey);
    debugModeEnabled_ = true;
    logWithLevel(7, 24000, "Debug mode is on");
  } else {
    logLevel_ = 6;
    if (!deferToZOVLogger_) ZULLoggerSetLevel(ZULLoggerLevelNotice);
    standard->removeObjectForKey(kDebugModeKey);
    debugModeEnabled_ = false;
    logWithLevel(7, 24001, "Debug mode is off");
  }
}

void MSRMonitor::setVerboseLoggingEnabled(bool enabled) {
  auto standard = MSRUserDefaults::standardUserDefaults();
  if (enabled && !MSRAEU::isFAS()) {
    logLevel_ = 8;
    if (!deferToZOVLogger_) ZULLoggerSetLevel(ZULLoggerLevelDebug);
    standard->setObject(ns::Value(true), kVerboseLoggingKey);
    // On before the announcement, which is itself a verbose line.
    verboseLoggingEnabled_ = true;
    logWithLevel(8, 24003, "Verbose logging is on");
  } else {
    const int64_t level = debugModeEnabled_ ? 7 : 6;
    logLevel_ = level;
    if (!deferToZOVLogger_) ZULLoggerSetLevel(MSRASLLogger::ZULLoggerLevelFromLogLevel(level));
    standard->removeObjectForKey(kVerboseLoggingKey);
    verboseLoggingEnabled_ = false;
  }
}

bool MSRMonitor::isLoggableLevel(int64_t level) const {
  return ZULLoggerIsLoggable(MSRASLLogger::ZULLoggerLevelFromLogLevel(level)) && !isSilentLevel(level);
}

// MARK: - Logging

void MSRMonitor::logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message) {
  logWithLevel(level, messageCode, message, std::vector<MSRLogContext>{});
}

void MSRMonitor::logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                              const MSRLogContext& context) {
  logWithLevel(level, messageCode, message, std::vector<MSRLogContext>{context});
}

void MSRMonitor::logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                              const MSRLogContext& context1, const MSRLogContext& context2) {
  logWithLevel(level, messageCode, message, std::vector<MSRLogContext>{context1, context2});
}

void MSRMonitor::logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                              const MSRLogContext& context1, const MSRLogContext& context2,
                              const MSRLogContext& context3) {
  logWithLevel(level, messageCode, message, std::vector<MSRLogContext>{context1, context2, context3});
}

void MSRMonitor::logWithLevel(int64_t level, int64_t messageCode, const std::optional<std::string>& message,
                              const std::vector<MSRLogContext>& contexts) {
  {
    std::lock_guard lock(observer().mutex);
    if (observer().function) observer().function(MSRMonitorMessage{level, messageCode, message, contexts});
  }
  const bool printable = isLoggableLevel(level);
  const bool monitored = isMonitorableLevel(level);
  if (!printable && !monitored) return;
  if (level >= 8 && !verboseLoggingEnabled_) return;
  auto self = shared_from_this();
  if (printable) {
    std::string line = stringWithLogMessage(message, level, contexts, encodeContexts_);
    monitorQueue_->async([self, line = std::move(line), messageCode, level] {
      self->logger_->logMessage(line, self->logTag(), messageCode, level);
    });
  }
  if (monitored) {
    std::string encoded = encodedStringWithContextArray(contexts, false);
    if (std::string fromErrors = MSRMonitorContextFromErrors(contexts); !fromErrors.empty()) {
      encoded += "," + fromErrors;
    }
    std::string key = monitoringDataKeyWithMessage(message, level, libraryVersion_);
    monitorQueue_->async([self, key = std::move(key), encoded = std::move(encoded)] {
      self->monitoringSampledData_->insertOrUpdateSampledDataWithKey(key, encoded);
      self->saveSampleOnMonitorQueue();
    });
  }
}

// MARK: - The sample

void MSRMonitor::saveSampleOnMonitorQueue() {
  monitorUserDefaults_->setObject(monitoringSampledData_->storedValue(), kHealthMonitorKey);
  monitorUserDefaults_->synchronize();
}

void MSRMonitor::loadSampleOnMonitorQueue() {
  monitoringSampledData_ = std::make_unique<MSRMonitoringSampledData>(monitorUserDefaults_->objectForKey(kHealthMonitorKey));
}

void MSRMonitor::migrateMonitorDataOnMonitorQueue() {
  auto standard = MSRUserDefaults::standardUserDefaults();
  auto state = monitorUserDefaults_->objectForKey(kMigrationStateKey);
  int64_t value = state ? state->integerValue() : 0;
  if (value == 0) {
    auto old = standard->objectForKey(kHealthMonitorKey);
    if (old && old->isArray() && !monitorUserDefaults_->objectForKey(kHealthMonitorKey)) {
      monitorUserDefaults_->setObject(*old, kHealthMonitorKey);
    }
    monitorUserDefaults_->setObject(ns::Value(1), kMigrationStateKey);
    monitorUserDefaults_->synchronize();
    value = 1;
  }
  if (value == 1) {
    standard->removeObjectForKey(kHealthMonitorKey);
    standard->synchronize();
    monitorUserDefaults_->setObject(ns::Value(2), kMigrationStateKey);
    monitorUserDefaults_->synchronize();
  }
}

std::optional<std::string> MSRMonitor::monitoringDataForDispatchWithSamplePeriod(double period,
                                                                                double lastSampledTimestamp) {
  std::optional<std::string> answer;
  monitorQueue_->sync([&] {
    answer = monitoringSampledData_->monitoringDataForDispatchWithSamplePeriod(
        period, lastSampledTimestamp, ns::Date::now().timeIntervalSince1970());
    if (answer) saveSampleOnMonitorQueue();
  });
  return answer;
}

void MSRMonitor::clearMonitoringData() {
  monitorQueue_->sync([&] {
    auto standard = MSRUserDefaults::standardUserDefaults();
    standard->removeObjectForKey(kDebugModeKey);
    standard->removeObjectForKey(kHealthMonitorKey);
    monitorUserDefaults_->removeObjectForKey(kHealthMonitorKey);
    loadSampleOnMonitorQueue();
  });
}

// MARK: - Testing

void MSRMonitorWaitForTesting() {
  std::vector<std::shared_ptr<MSRMonitor>> live;
  {
    std::lock_guard lock(registry().mutex);
    for (auto& weak : registry().monitors) {
      if (auto monitor = weak.lock()) live.push_back(monitor);
    }
  }
  for (auto& monitor : live) monitor->monitorQueue()->sync([] {});
  ZULLoggerWaitForWritesForTesting();
}

void MSRMonitorSetObserverForTesting(std::function<void(const MSRMonitorMessage&)> function) {
  // A case that stops listening is ending: what it logged reaches the
  // logger and its device before the device goes away.
  if (!function) MSRMonitorWaitForTesting();
  std::lock_guard lock(observer().mutex);
  observer().function = std::move(function);
}
