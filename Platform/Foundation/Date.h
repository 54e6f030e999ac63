// A point in time: seconds since the platform's reference date,
// 2001-01-01 00:00:00 UTC. The present comes from ns::Clock, so tests that
// move the virtual clock move every caller of Date::now().
#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace ns {

class Date {
 public:
  // Seconds between the Unix epoch and the reference date.
  static constexpr double kReferenceDateUnixSeconds = 978307200.0;

  constexpr Date() = default;
  constexpr explicit Date(double secondsSinceReferenceDate) : seconds_(secondsSinceReferenceDate) {}

  static Date now();
  static constexpr Date fromUnixTime(double unixSeconds) { return Date(unixSeconds - kReferenceDateUnixSeconds); }
  static constexpr Date distantPast() { return Date(-63114076800.0); }
  static constexpr Date distantFuture() { return Date(63113904000.0); }

  constexpr double timeIntervalSinceReferenceDate() const { return seconds_; }
  constexpr double timeIntervalSince1970() const { return seconds_ + kReferenceDateUnixSeconds; }
  constexpr double timeIntervalSince(Date other) const { return seconds_ - other.seconds_; }
  double timeIntervalSinceNow() const;
  constexpr Date addingTimeInterval(double seconds) const { return Date(seconds_ + seconds); }

  constexpr auto operator<=>(const Date&) const = default;

  // "2001-01-01 00:00:00 +0000", the platform's description in UTC.
  std::string description() const;

 private:
  double seconds_ = 0;
};

}  // namespace ns
