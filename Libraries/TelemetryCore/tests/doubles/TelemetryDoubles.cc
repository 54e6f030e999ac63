#include "Libraries/TelemetryCore/tests/doubles/TelemetryDoubles.h"

#include <mutex>

namespace telemetry_doubles {
namespace {

struct Records {
  std::mutex mutex;
  int sessionsBuilt = 0;
  std::vector<MeasurementStart> measurementStarts;
};

Records& records() {
  static Records* shared = new Records();
  return *shared;
}

}  // namespace

int sessionsBuilt() {
  std::lock_guard lock(records().mutex);
  return records().sessionsBuilt;
}

std::vector<MeasurementStart> measurementStarts() {
  std::lock_guard lock(records().mutex);
  return records().measurementStarts;
}

void clearRecords() {
  std::lock_guard lock(records().mutex);
  records().sessionsBuilt = 0;
  records().measurementStarts.clear();
}

void recordSessionsBuilt() {
  std::lock_guard lock(records().mutex);
  ++records().sessionsBuilt;
}

void recordMeasurementStart(MeasurementStart start) {
  std::lock_guard lock(records().mutex);
  records().measurementStarts.push_back(std::move(start));
}

}  // namespace telemetry_doubles
