#include "Libraries/TelemetryFoundation/ZULUserDefaults.h"

#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Platform/Dispatch/DelayedPerform.h"
#include "Platform/Foundation/Preferences.h"
#include "Platform/Foundation/PropertyList.h"

namespace {

constexpr const char* kService = "[ZororiUtilities/UserDefaults]";
constexpr std::string_view kSynchronizeSelector = "synchronize";
constexpr double kSynchronizeDelaySeconds = 1.0;

std::string code(long n) { return ns::format("I-ZUL%06ld", n); }

void synchronizeApp(const std::string& appName) {
  if (!ns::Preferences::appSynchronize(appName)) {
    ZULLoggerLogError(kService, false, code(4), "Cannot synchronize user defaults to disk");
  }
}

}  // namespace

ZULUserDefaults& ZULUserDefaults::standardUserDefaults() {
  static ZULUserDefaults* defaults = new ZULUserDefaults();  // lives for the whole process
  return *defaults;
}

ZULUserDefaults::ZULUserDefaults() : ZULUserDefaults(std::nullopt) {}

ZULUserDefaults::ZULUserDefaults(const std::optional<std::string>& suiteName)
    : appName_(suiteName && !suiteName->empty() ? *suiteName : ns::Preferences::kCurrentApplication) {}

ZULUserDefaults::~ZULUserDefaults() {
  dispatch::cancelPreviousPerformRequests(this, kSynchronizeSelector, nullptr);
}

std::optional<ns::Value> ZULUserDefaults::objectForKey(std::string_view key) const {
  if (key.empty()) {
    ZULLoggerLogWarning("<ZororiUtilities>", false, code(1), "Cannot get object for invalid user default key.");
    return std::nullopt;
  }
  return ns::Preferences::copyAppValue(key, appName_);
}

void ZULUserDefaults::setObject(const std::optional<ns::Value>& value, std::string_view key) {
  if (key.empty()) {
    ZULLoggerLogWarning(kService, false, code(2), "Cannot set object for invalid user default key.");
    return;
  }
  // The preference functions throw for what has no property-list form.
  if (value && !ns::hasPropertyListForm(*value)) {
    ZULLoggerLogWarning(kService, false, code(3),
                        "Cannot set invalid object to user defaults. Must be a string, number, array, "
                        "dictionary, date, or data. Value: %@",
                        *value);
    return;
  }
  ns::Preferences::setAppValue(key, value, appName_);
  scheduleSynchronize();
}

void ZULUserDefaults::removeObjectForKey(std::string_view key) { setObject(std::nullopt, key); }

int64_t ZULUserDefaults::integerForKey(std::string_view key) const {
  auto value = objectForKey(key);
  return value ? value->integerValue() : 0;
}

float ZULUserDefaults::floatForKey(std::string_view key) const {
  auto value = objectForKey(key);
  return value ? static_cast<float>(value->doubleValue()) : 0.0f;
}

double ZULUserDefaults::doubleForKey(std::string_view key) const {
  auto value = objectForKey(key);
  return value ? value->doubleValue() : 0.0;
}

bool ZULUserDefaults::boolForKey(std::string_view key) const {
  auto value = objectForKey(key);
  return value && value->boolValue();
}

void ZULUserDefaults::setInteger(int64_t value, std::string_view key) {
  setObject(ns::Value(static_cast<long long>(value)), key);
}
void ZULUserDefaults::setFloat(float value, std::string_view key) { setObject(ns::Value(value), key); }
void ZULUserDefaults::setDouble(double value, std::string_view key) { setObject(ns::Value(value), key); }
void ZULUserDefaults::setBool(bool value, std::string_view key) { setObject(ns::Value(value), key); }

void ZULUserDefaults::synchronize() { synchronizeApp(appName_); }

// On the main run loop rather than the writing thread's: a dispatch
// queue's thread runs no run loop, and a request filed there would never
// fire. Nothing depends on it firing: every write is already on disk.
void ZULUserDefaults::scheduleSynchronize() {
  std::lock_guard lock(scheduleMutex_);
  dispatch::cancelPreviousPerformRequests(this, kSynchronizeSelector, nullptr);
  dispatch::performAfterDelay(this, kSynchronizeSelector, nullptr, kSynchronizeDelaySeconds,
                              [appName = appName_] { synchronizeApp(appName); });
}
