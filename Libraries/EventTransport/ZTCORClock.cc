#include "Libraries/EventTransport/ZTCORClock.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "Libraries/EventTransport/ZTCORTransportClasses.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/TimeZone.h"

namespace {

int64_t wallNanoseconds() {
  return static_cast<int64_t>(std::floor(ns::Clock::now().timeIntervalSince1970() * 1e6)) * 1000;
}

int64_t procStatBootSeconds() {
  std::ifstream stat("/proc/stat");
  std::string line;
  while (std::getline(stat, line)) {
    if (line.rfind("btime ", 0) == 0) return std::strtoll(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

size_t mix(size_t seed, int64_t value) {
  return seed ^ (std::hash<int64_t>{}(value) + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2));
}

}  // namespace

int64_t ZTCORKernelBootTimeNanoseconds() {
  if (ns::Clock::isVirtual()) return wallNanoseconds() - static_cast<int64_t>(ns::Clock::uptimeNanos());
  // Read once: "btime" does not change within a boot.
  static const int64_t seconds = procStatBootSeconds();
  return seconds * 1000000000;
}

ZTCORClock::ZTCORClock(int64_t timeMillis, int64_t timezoneOffsetSeconds, int64_t kernelBootTimeNanoseconds,
                       int64_t uptimeNanoseconds)
    : timeMillis_(timeMillis),
      timezoneOffsetSeconds_(timezoneOffsetSeconds),
      kernelBootTimeNanoseconds_(kernelBootTimeNanoseconds),
      uptimeNanoseconds_(uptimeNanoseconds) {}

std::shared_ptr<ZTCORClock> ZTCORClock::snapshot() {
  ZTCORRegisterTransportClasses();
  int64_t boot = ZTCORKernelBootTimeNanoseconds();
  // Read the wall clock between two reads of the boot time until both agree,
  // so that the two belong together.
  int64_t wall = 0;
  for (;;) {
    wall = wallNanoseconds();
    int64_t again = ZTCORKernelBootTimeNanoseconds();
    if (again == boot) break;
    boot = again;
  }
  ns::Date now = ns::Clock::now();
  auto timeMillis = static_cast<int64_t>(now.timeIntervalSince1970() * 1000);
  int64_t offset = ns::TimeZone::defaultZone().secondsFromGMT(now);
  return std::make_shared<ZTCORClock>(timeMillis, offset, boot, wall - boot);
}

std::shared_ptr<ZTCORClock> ZTCORClock::clockSnapshotInTheFuture(int64_t millisInTheFuture) {
  auto now = snapshot();
  return std::make_shared<ZTCORClock>(now->timeMillis_ + millisInTheFuture, now->timezoneOffsetSeconds_,
                                      now->kernelBootTimeNanoseconds_, now->uptimeNanoseconds_);
}

bool ZTCORClock::isAfter(const ZTCORClock& other) const {
  if (kernelBootTimeNanoseconds_ != other.kernelBootTimeNanoseconds_) {
    return other.kernelBootTimeNanoseconds_ < kernelBootTimeNanoseconds_;
  }
  return timeMillis_ > other.timeMillis_;
}

size_t ZTCORClock::hash() const {
  size_t seed = 0;
  for (int64_t field : {timeMillis_, timezoneOffsetSeconds_, kernelBootTimeNanoseconds_, uptimeNanoseconds_}) {
    seed = mix(seed, field);
  }
  return seed;
}

bool ZTCORClock::isEqual(const ZTCORClock& other) const {
  return timeMillis_ == other.timeMillis_ && timezoneOffsetSeconds_ == other.timezoneOffsetSeconds_ &&
         kernelBootTimeNanoseconds_ == other.kernelBootTimeNanoseconds_ &&
         uptimeNanoseconds_ == other.uptimeNanoseconds_;
}

void ZTCORClock::encodeWithCoder(ns::KeyedArchiver& coder) const {
  coder.encodeInt64(timeMillis_, kZTCORClockTimeMillisKey);
  coder.encodeInt64(timezoneOffsetSeconds_, kZTCORClockTimezoneOffsetSecondsKey);
  coder.encodeInt64(kernelBootTimeNanoseconds_, kZTCORClockKernelBootTimeKey);
  coder.encodeInt64(uptimeNanoseconds_, kZTCORClockUptimeKey);
}

std::shared_ptr<ns::Coding> ZTCORClock::initWithCoder(ns::KeyedUnarchiver& coder) {
  return std::make_shared<ZTCORClock>(
      coder.decodeInt64(kZTCORClockTimeMillisKey), coder.decodeInt64(kZTCORClockTimezoneOffsetSecondsKey),
      coder.decodeInt64(kZTCORClockKernelBootTimeKey), coder.decodeInt64(kZTCORClockUptimeKey));
}

std::string ZTCORClock::description() const {
  return ns::format("<ZTCORClock timeMillis:%lld offset:%lld boot:%lld uptime:%lld>", timeMillis_,
                    timezoneOffsetSeconds_, kernelBootTimeNanoseconds_, uptimeNanoseconds_);
}
