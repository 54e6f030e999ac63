#include "Libraries/EventTransport/Sessions/SessionsSampling.h"

#include <mutex>
#include <random>

namespace {

struct Source {
  std::mutex mutex;
  SessionsRandomSource replacement;
  std::mt19937_64 engine{std::random_device{}()};
};

Source& source() {
  static Source shared;
  return shared;
}

uint64_t draw() {
  Source& s = source();
  std::lock_guard lock(s.mutex);
  if (s.replacement) return s.replacement();
  return std::uniform_int_distribution<uint64_t>(0, kSessionsSamplingDrawRange)(s.engine);
}

}  // namespace

double SessionsSamplingDraw(uint64_t r) {
  if (r >= kSessionsSamplingDrawRange) return 1.0;
  return static_cast<double>(r) / static_cast<double>(kSessionsSamplingDrawRange);
}

bool SessionsShouldCollectEvents(double samplingRate) { return SessionsSamplingDraw(draw()) <= samplingRate; }

void SessionsSetRandomSourceForTesting(SessionsRandomSource source) {
  Source& s = ::source();
  std::lock_guard lock(s.mutex);
  s.replacement = std::move(source);
}
