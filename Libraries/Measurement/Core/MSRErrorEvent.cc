#include "Libraries/Measurement/Core/MSRErrorEvent.h"

#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNSStringAdditions.h"
#include "Platform/Foundation/Date.h"

namespace {

// The analytics interface's internal-event road ends in the engine's
// handling on its worker queue; the error events take that last step
// directly.
void logErrorEvent(const MSRValueMap& parameters) {
  auto engine = MSRMeasurement::sharedInstance();
  if (!engine) return;
  auto event = MSREvent::initWithOrigin("auto", false, "_err", ns::Date::now().timeIntervalSince1970(), 0, parameters);
  if (!event) return;
  std::weak_ptr<MSRMeasurement> weak = engine;
  engine->scheduler()->scheduleOnWorkerQueueBlockID("MSRErrorEvent:log", [weak, event] {
    if (auto running = weak.lock()) running->handleEventOnWorkerQueue(event);
  });
}

int64_t lengthOf(const MSRValue& value) {
  if (auto text = value.stringValue()) return static_cast<int64_t>(msr_UTF32Length(*text));
  if (const auto* items = value.arrayValue()) return static_cast<int64_t>(items->size());
  return 0;
}

}  // namespace

void MSRLogErrorEvent(int64_t code) {
  if (code == 0) return;
  logErrorEvent({{"_err", MSRValue::initWithInt64(code)}});
}

void MSRLogErrorEventWithValue(int64_t code, const std::string& name, int64_t maxLength,
                               const std::optional<MSRValue>& value) {
  if (code == 0) return;
  MSRValueMap parameters{{"_err", MSRValue::initWithInt64(code)}};
  std::optional<MSRValue> passed;
  if (value && (lengthOf(*value) > maxLength || code == 4 || code == 7)) passed = value;
  MSRSetErrorValueParameters(parameters, name, maxLength, passed);
  logErrorEvent(parameters);
}
