#include "Apps/quillbox/DeviceClock.h"

#include <algorithm>
#include <chrono>

#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"

namespace quillbox {

namespace {

constexpr const char* kOffsetKey = "offset";  // seconds ahead of real time
constexpr const char* kShownKey = "shown";    // the last time the clock showed

// The system's wall clock, whatever ns::Clock is set to.
ns::Date realNow() {
  auto since = std::chrono::system_clock::now().time_since_epoch();
  return ns::Date::fromUnixTime(std::chrono::duration<double>(since).count());
}

}  // namespace

std::string DeviceClock::path(const std::string& deviceDirectory) { return deviceDirectory + "/clock.plist"; }

ns::Date DeviceClock::startingTime(ns::Date real, const std::string& deviceDirectory) {
  auto saved = ns::readDictionaryFile(path(deviceDirectory));
  if (!saved) return real;
  ns::Date start = real;
  if (const ns::Value* offset = saved->find(kOffsetKey); offset && offset->isNumber())
    start = real.addingTimeInterval(std::max(offset->doubleValue(), 0.0));
  if (const ns::Value* shown = saved->find(kShownKey); shown && shown->isDate() && start < *shown->asDate())
    start = *shown->asDate();
  return start;
}

void DeviceClock::start(const std::string& deviceDirectory) {
  ns::Clock::useVirtual(startingTime(realNow(), deviceDirectory));
}

void DeviceClock::save(const std::string& deviceDirectory) {
  ns::Date now = ns::Clock::now();
  ns::Dictionary saved{{kOffsetKey, ns::Value(now.timeIntervalSince(realNow()))}, {kShownKey, ns::Value(now)}};
  auto data = ns::dataFromPropertyList(ns::Value(saved), ns::PropertyListFormat::Binary, nullptr);
  if (data) ns::FileManager::defaultManager().writeData(*data, path(deviceDirectory), {.atomic = true, .durable = false});
}

}  // namespace quillbox
