#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

#include <atomic>
#include <limits>
#include <utility>

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

namespace {
std::atomic<long> gLiveValues{0};
}  // namespace

MSRPRuntimeValue::MSRPRuntimeValue() { gLiveValues.fetch_add(1, std::memory_order_relaxed); }

MSRPRuntimeValue::~MSRPRuntimeValue() { gLiveValues.fetch_sub(1, std::memory_order_relaxed); }

long MSRPRuntimeValue::liveCount() { return gLiveValues.load(std::memory_order_relaxed); }

std::u16string MSRPRuntimeValue::stringValueOrError(ns::Error& error) const {
  MSRPSetError(error, MSRPErrorNoStringConversion);
  return {};
}

double MSRPRuntimeValue::doubleValueOrError(ns::Error& error) const {
  MSRPSetError(error, MSRPErrorNoNumberConversion);
  return std::numeric_limits<double>::quiet_NaN();
}

bool MSRPRuntimeValue::booleanValueOrError(ns::Error& error) const {
  MSRPSetError(error, MSRPErrorNoBooleanConversion);
  return false;
}

MSRPValueRef MSRPRuntimeValue::applyWithName(const std::u16string& name, const MSRPValueList&,
                                             const std::shared_ptr<MSRPScope>&, ns::Error& error) {
  if (name == u"toString") {
    std::u16string text = stringValueOrError(error);
    if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
    return std::make_shared<MSRPStringValue>(std::move(text));
  }
  MSRPSetError(error, MSRPErrorNoSuchMethod);
  return MSRPUndefinedValue::sharedInstance();
}

bool MSRPRuntimeValue::isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error&) const {
  return this == &other;
}

void MSRPReleaseValuesLater(MSRPValueList& values) {
  for (MSRPValueRef& value : values) MSRPReleaseLater(std::move(value));
  values.clear();
}
