#include "Platform/Foundation/Clock.h"

#include <time.h>

#include <map>
#include <mutex>
#include <vector>

namespace ns {
namespace {

struct ClockState {
  std::mutex mutex;
  bool isVirtual = false;
  double wallSeconds = 0;      // virtual wall time, since the reference date
  uint64_t uptime = 0;         // virtual uptime
  Clock::ObserverId nextId = 1;
  std::map<Clock::ObserverId, std::function<void()>> observers;
};

ClockState& state() {
  static ClockState s;
  return s;
}

void notifyObservers() {
  std::vector<std::function<void()>> copy;
  {
    std::lock_guard lock(state().mutex);
    for (auto& [id, fn] : state().observers) copy.push_back(fn);
  }
  for (auto& fn : copy) fn();
}

uint64_t systemUptime() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

}  // namespace

Date Clock::now() {
  {
    std::lock_guard lock(state().mutex);
    if (state().isVirtual) return Date(state().wallSeconds);
  }
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return Date::fromUnixTime(double(ts.tv_sec) + double(ts.tv_nsec) / 1e9);
}

uint64_t Clock::uptimeNanos() {
  {
    std::lock_guard lock(state().mutex);
    if (state().isVirtual) return state().uptime;
  }
  return systemUptime();
}

bool Clock::isVirtual() {
  std::lock_guard lock(state().mutex);
  return state().isVirtual;
}

void Clock::useVirtual(Date start) {
  uint64_t up = systemUptime();
  {
    std::lock_guard lock(state().mutex);
    if (!state().isVirtual) state().uptime = up;
    state().isVirtual = true;
    state().wallSeconds = start.timeIntervalSinceReferenceDate();
  }
  notifyObservers();
}

void Clock::useReal() {
  {
    std::lock_guard lock(state().mutex);
    state().isVirtual = false;
  }
  notifyObservers();
}

void Clock::advance(double seconds) {
  if (seconds < 0) seconds = 0;
  {
    std::lock_guard lock(state().mutex);
    if (!state().isVirtual) return;
    state().wallSeconds += seconds;
    state().uptime += uint64_t(seconds * 1e9);
  }
  notifyObservers();
}

void Clock::setWallTime(Date date) {
  {
    std::lock_guard lock(state().mutex);
    if (!state().isVirtual) return;
    state().wallSeconds = date.timeIntervalSinceReferenceDate();
  }
  notifyObservers();
}

Clock::ObserverId Clock::addObserver(std::function<void()> observer) {
  std::lock_guard lock(state().mutex);
  auto id = state().nextId++;
  state().observers.emplace(id, std::move(observer));
  return id;
}

void Clock::removeObserver(ObserverId id) {
  std::lock_guard lock(state().mutex);
  state().observers.erase(id);
}

}  // namespace ns
