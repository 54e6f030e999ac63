#include "Libraries/Measurement/Core/MSRErrorEvent.h"

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSRNSStringAdditions.h"

namespace {

void logErrorEvent(const MSRValueMap& parameters) {
  ns::Dictionary dictionary;
  for (const auto& [name, value] : parameters) {
    if (value.isInt64()) {
      dictionary.set(name, ns::Value(value.int64Value()));
    } else if (value.isDouble()) {
      dictionary.set(name, ns::Value(value.doubleValue()));
    } else if (auto text = value.stringValue()) {
      dictionary.set(name, ns::Value(*text));
    }
  }
  MSRAnalytics::logInternalEventWithOrigin("auto", "_err", dictionary);
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
