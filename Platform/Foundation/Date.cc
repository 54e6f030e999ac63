#include "Platform/Foundation/Date.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "Platform/Foundation/Clock.h"

namespace ns {

Date Date::now() { return Clock::now(); }

double Date::timeIntervalSinceNow() const { return seconds_ - now().seconds_; }

std::string Date::description() const {
  time_t t = static_cast<time_t>(std::floor(timeIntervalSince1970()));
  struct tm tm {};
  gmtime_r(&t, &tm);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d +0000", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

}  // namespace ns
