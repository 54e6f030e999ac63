#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"

#include <cmath>
#include <limits>
#include <utility>

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPNestingGuard.h"
#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberText.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

namespace {
class HoleMarker final : public MSRPRuntimeValue {};
}  // namespace

const MSRPValueRef& MSRPArrayValue::emptyValue() {
  static const MSRPValueRef instance = std::make_shared<HoleMarker>();
  return instance;
}

MSRPArrayValue::MSRPArrayValue(MSRPValueList elements) : elements_(std::move(elements)) {
  for (MSRPValueRef& element : elements_) element = MSRPValueOrUndefined(std::move(element));
}

MSRPArrayValue::~MSRPArrayValue() { MSRPReleaseValuesLater(elements_); }

MSRPValueList MSRPArrayValue::allElements() const {
  MSRPValueList all;
  all.reserve(elements_.size());
  for (const MSRPValueRef& element : elements_) {
    all.push_back(element == emptyValue() ? MSRPUndefinedValue::sharedInstance() : element);
  }
  return all;
}

std::u16string MSRPArrayValue::stringValueWithSeparator(const std::u16string& separator, ns::Error& error) const {
  if (elements_.empty()) return {};
  MSRPNestingGuard nesting(error);
  if (!nesting.entered()) return {};
  // Conversions run no program code, so the elements stay as they are
  // while this walks them.
  std::u16string text;
  for (size_t i = 0; i < elements_.size(); ++i) {
    if (i > 0) text += separator;
    const MSRPValueRef& element = elements_[i];
    if (element == emptyValue() || element == MSRPUndefinedValue::sharedInstance() ||
        element == MSRPNullValue::sharedInstance()) {
      continue;
    }
    text += element->stringValueOrError(error);
    if (MSRPHasError(error)) return {};
  }
  return text;
}

std::u16string MSRPArrayValue::stringValueOrError(ns::Error& error) const {
  return stringValueWithSeparator(u",", error);
}

double MSRPArrayValue::doubleValueOrError(ns::Error& error) const {
  std::u16string text = stringValueOrError(error);
  if (MSRPHasError(error)) return std::numeric_limits<double>::quiet_NaN();
  return MSRPNumberFromString(text);
}

bool MSRPArrayValue::booleanValueOrError(ns::Error&) const { return true; }

bool MSRPArrayValue::isEqualToRuntimeValue(const MSRPRuntimeValue& other, ns::Error& error) const {
  if (this == &other) return true;
  const auto* array = dynamic_cast<const MSRPArrayValue*>(&other);
  if (array == nullptr || array->elements_.size() != elements_.size()) return false;
  MSRPNestingGuard nesting(error);
  if (!nesting.entered()) return false;
  for (size_t i = 0; i < elements_.size(); ++i) {
    const MSRPValueRef& mine = elements_[i];
    const MSRPValueRef& theirs = array->elements_[i];
    bool equal = mine == theirs || mine->isEqualToRuntimeValue(*theirs, error);
    if (MSRPHasError(error) || !equal) return false;
  }
  return true;
}

void MSRPArrayValue::forEachReference(MSRPReferenceVisitor& visitor) const {
  for (const MSRPValueRef& element : elements_) MSRPVisitValue(visitor, element);
  propertyMap_.forEachReference(visitor);
}

void MSRPArrayValue::dropReferences() {
  MSRPReleaseValuesLater(elements_);
  propertyMap_.dropReferences();
}
