#include "Libraries/Measurement/Core/MSREventAggregates.h"

#include <limits>

#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"

namespace {

void increment(int32_t& count, int64_t overflowCode, const char* overflowMessage) {
  if (count == std::numeric_limits<int32_t>::max()) {
    count = 0;
    MSRMeasurement::monitor()->logWithLevel(5, overflowCode, overflowMessage);
    return;
  }
  ++count;
}

}  // namespace

std::shared_ptr<MSREventAggregates> MSREventAggregates::initWithName(const std::string& name, int32_t lifetimeCount,
                                                                     int32_t currentBundleCount,
                                                                     int32_t currentSessionCount,
                                                                     double lastFireTimestamp) {
  ns::Value nameObject(name);
  if (!MSRDataTypeValidator::isValidInternalEventName(&nameObject)) return nullptr;
  if (lifetimeCount < 0 || currentBundleCount < 0 || currentSessionCount < 0) {
    MSRMeasurement::monitor()->logWithLevel(5, 17000,
                                            "Failed to create event aggregates object. Received negative count.");
    return nullptr;
  }
  std::shared_ptr<MSREventAggregates> aggregates(new MSREventAggregates());
  aggregates->name_ = name;
  aggregates->lifetimeCount_ = lifetimeCount;
  aggregates->currentBundleCount_ = currentBundleCount;
  aggregates->currentSessionCount_ = currentSessionCount;
  aggregates->lastFireTimestamp_ = lastFireTimestamp;
  return aggregates;
}

void MSREventAggregates::incrementLifetimeCount() {
  increment(lifetimeCount_, 17001, "Lifetime count overflow. Lifetime count reset to 0.");
}

void MSREventAggregates::incrementCurrentBundleCount() {
  increment(currentBundleCount_, 17002, "Bundle count overflow. Bundle count reset to 0.");
}

void MSREventAggregates::incrementCurrentSessionCount() {
  increment(currentSessionCount_, 17003, "Session count overflow. Session count reset to 0.");
}
