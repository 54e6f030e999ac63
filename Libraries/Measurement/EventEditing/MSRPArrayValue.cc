#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "Libraries/Measurement/EventEditing/MSRPArrayCommandEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPControlValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"
#include "Platform/Foundation/StringCompare.h"
#include "Platform/Foundation/StringUtf16.h"
#include "Libraries/Measurement/EventEditing/MSRPNestingGuard.h"
#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberText.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

namespace {
class HoleMarker final : public MSRPRuntimeValue {};

bool isLengthKey(const MSRPRuntimeValue& key, const std::u16string& text) {
  return text == u"length" && MSRPValueIs<MSRPStringValue>(key);
}

// An index key's position; past the largest array it stays past it.
uint64_t indexOfKey(const MSRPRuntimeValue& key) {
  ns::Error ignored;
  double number = key.doubleValueOrError(ignored);
  return number >= 9007199254740992.0 ? uint64_t{9007199254740992} : static_cast<uint64_t>(number);
}

const MSRPValueRef& undefined() { return MSRPUndefinedValue::sharedInstance(); }
}  // namespace

std::shared_ptr<MSRPArrayValue> MSRPArrayValue::make(MSRPValueList elements, ns::Error& error) {
  if (!MSRPAllowArray(elements.size(), 0, error)) return nullptr;
  return std::make_shared<MSRPArrayValue>(std::move(elements));
}

const MSRPValueRef& MSRPArrayValue::emptyValue() {
  static const MSRPValueRef instance = std::make_shared<HoleMarker>();
  return instance;
}

MSRPArrayValue::MSRPArrayValue(MSRPValueList elements) : elements_(std::move(elements)) {
  charge_.set(elements_.size());
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
    if (i > 0) {
      if (separator.size() > MSRPMaxStringLength - text.size()) {
        MSRPSetError(error, MSRPErrorSizeLimit);
        return {};
      }
      text += separator;
    }
    const MSRPValueRef& element = elements_[i];
    if (element == emptyValue() || element == MSRPUndefinedValue::sharedInstance() ||
        element == MSRPNullValue::sharedInstance()) {
      continue;
    }
    std::u16string piece = element->stringValueOrError(error);
    if (MSRPHasError(error)) return {};
    // Checked before the text grows: an array holding another twice at
    // each of 40 levels would otherwise join into terabytes.
    if (piece.size() > MSRPMaxStringLength - text.size()) {
      MSRPSetError(error, MSRPErrorSizeLimit);
      return {};
    }
    text += piece;
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
  charge_.set(elements_.size());
  propertyMap_.dropReferences();
}

bool MSRPArrayValue::setLength(uint64_t length, ns::Error& error) {
  if (length <= elements_.size()) {
    MSRPValueList dropped(elements_.begin() + static_cast<ptrdiff_t>(length), elements_.end());
    elements_.resize(length);
    charge_.set(elements_.size());
    MSRPReleaseValuesLater(dropped);
    return true;
  }
  if (length > MSRPMaxArrayLength) {
    MSRPSetError(error, MSRPErrorSizeLimit);
    return false;
  }
  if (!MSRPAllowArray(static_cast<size_t>(length), elements_.size(), error)) return false;
  elements_.resize(length, emptyValue());
  charge_.set(elements_.size());
  return true;
}

bool MSRPArrayValue::hasProperty(const MSRPRuntimeValue& key, ns::Error& error) const {
  std::u16string text = key.stringValueOrError(error);
  if (MSRPHasError(error)) return false;
  if (MSRPIsArrayIndexValue(key)) {
    uint64_t index = indexOfKey(key);
    return index < elements_.size() && elements_[index] != emptyValue();
  }
  return propertyMap_.hasName(text);
}

MSRPValueRef MSRPArrayValue::valueForProperty(const MSRPRuntimeValue& key, ns::Error& error) const {
  std::u16string text = key.stringValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  if (isLengthKey(key, text)) return std::make_shared<MSRPNumberValue>(static_cast<double>(elements_.size()));
  if (MSRPIsArrayIndexValue(key)) {
    uint64_t index = indexOfKey(key);
    if (index >= elements_.size() || elements_[index] == emptyValue()) return undefined();
    return elements_[index];
  }
  return propertyMap_.valueForName(text);
}

void MSRPArrayValue::setValue(MSRPValueRef value, const MSRPRuntimeValue& key, ns::Error& error) {
  value = MSRPValueOrUndefined(std::move(value));
  std::u16string text = key.stringValueOrError(error);
  if (MSRPHasError(error)) return;
  if (isLengthKey(key, text)) {
    if (!MSRPIsArrayIndexValue(*value)) {
      MSRPSetError(error, MSRPErrorArrayLength);
      return;
    }
    setLength(indexOfKey(*value), error);
    return;
  }
  if (MSRPIsArrayIndexValue(key)) {
    uint64_t index = indexOfKey(key);
    if (index >= elements_.size() && !setLength(index + 1, error)) return;
    elements_[index] = std::move(value);
    return;
  }
  if (!propertyMap_.hasName(text) && !MSRPAllowObjects(1, error)) return;
  propertyMap_.setValue(std::move(value), text);
}

void MSRPArrayValue::removeValueForProperty(const MSRPRuntimeValue& key, ns::Error& error) {
  std::u16string text = key.stringValueOrError(error);
  if (MSRPHasError(error)) return;
  if (MSRPIsArrayIndexValue(key)) {
    uint64_t index = indexOfKey(key);
    if (index < elements_.size()) MSRPReleaseLater(std::exchange(elements_[index], emptyValue()));
    return;
  }
  propertyMap_.removeValueForName(text);
}

MSRPValueList MSRPArrayValue::allPropertyNames() const {
  MSRPValueList names;
  for (const std::u16string& name : propertyMap_.allNames()) names.push_back(std::make_shared<MSRPStringValue>(name));
  for (size_t i = 0; i < elements_.size(); ++i) {
    if (elements_[i] != emptyValue()) names.push_back(std::make_shared<MSRPStringValue>(ns::toUtf16(std::to_string(i))));
  }
  return names;
}

std::shared_ptr<MSRPArrayValue> MSRPArrayValue::subarrayWithRange(int64_t location, int64_t length,
                                                                  ns::Error& error) const {
  auto count = static_cast<int64_t>(elements_.size());
  location = std::clamp<int64_t>(location, 0, count);
  length = std::clamp<int64_t>(length, 0, count - location);
  return make(MSRPValueList(elements_.begin() + location, elements_.begin() + location + length), error);
}

MSRPValueList MSRPArrayValue::spliceFrom(int64_t start, int64_t deleteCount, const MSRPValueList& values,
                                         ns::Error& error) {
  auto count = static_cast<int64_t>(elements_.size());
  start = std::clamp<int64_t>(start, 0, count);
  deleteCount = std::clamp<int64_t>(deleteCount, 0, count - start);
  size_t after = elements_.size() - static_cast<size_t>(deleteCount) + values.size();
  if (!MSRPAllowArray(after, elements_.size(), error)) return {};
  auto first = elements_.begin() + start;
  MSRPValueList removed(first, first + deleteCount);
  elements_.erase(first, first + deleteCount);
  MSRPValueList inserted;
  for (const MSRPValueRef& value : values) inserted.push_back(MSRPValueOrUndefined(value));
  elements_.insert(elements_.begin() + start, inserted.begin(), inserted.end());
  charge_.set(elements_.size());
  return removed;
}

bool MSRPArrayValue::concat(const MSRPValueRef& value, ns::Error& error) {
  if (MSRPValueIs<MSRPControlValue>(*value)) {
    MSRPSetError(error, MSRPErrorArgumentKind);
    return false;
  }
  if (auto array = MSRPValueAs<MSRPArrayValue>(value)) {
    // Copied first: the array may be this one.
    MSRPValueList positions = array->elements_;
    if (!MSRPAllowArray(elements_.size() + positions.size(), elements_.size(), error)) return false;
    elements_.insert(elements_.end(), positions.begin(), positions.end());
    charge_.set(elements_.size());
    return true;
  }
  if (!MSRPAllowArray(elements_.size() + 1, elements_.size(), error)) return false;
  elements_.push_back(value);
  charge_.set(elements_.size());
  return true;
}

void MSRPArrayValue::reverse() { std::reverse(elements_.begin(), elements_.end()); }

MSRPValueRef MSRPArrayValue::removeFirstElement() {
  if (elements_.empty()) return undefined();
  MSRPValueRef first = std::move(elements_.front());
  elements_.erase(elements_.begin());
  charge_.set(elements_.size());
  return first == emptyValue() ? undefined() : first;
}

MSRPValueRef MSRPArrayValue::removeLastElement() {
  if (elements_.empty()) return undefined();
  MSRPValueRef last = std::move(elements_.back());
  elements_.pop_back();
  charge_.set(elements_.size());
  return last == emptyValue() ? undefined() : last;
}

size_t MSRPArrayValue::appendElements(const MSRPValueList& values, ns::Error& error) {
  if (!MSRPAllowArray(elements_.size() + values.size(), elements_.size(), error)) return elements_.size();
  for (const MSRPValueRef& value : values) elements_.push_back(MSRPValueOrUndefined(value));
  charge_.set(elements_.size());
  return elements_.size();
}

size_t MSRPArrayValue::prependElements(const MSRPValueList& values, ns::Error& error) {
  if (!MSRPAllowArray(elements_.size() + values.size(), elements_.size(), error)) return elements_.size();
  MSRPValueList front;
  for (const MSRPValueRef& value : values) front.push_back(MSRPValueOrUndefined(value));
  elements_.insert(elements_.begin(), front.begin(), front.end());
  charge_.set(elements_.size());
  return elements_.size();
}

int64_t MSRPArrayValue::indexOfValue(const MSRPRuntimeValue& value, int64_t index, ns::Error& error) const {
  for (auto i = static_cast<size_t>(std::max<int64_t>(index, 0)); i < elements_.size(); ++i) {
    if (elements_[i] == emptyValue()) continue;
    bool equal = MSRPStrictEquals(*elements_[i], value, error);
    if (MSRPHasError(error)) return -1;
    if (equal) return static_cast<int64_t>(i);
  }
  return -1;
}

int64_t MSRPArrayValue::lastIndexOfValue(const MSRPRuntimeValue& value, int64_t index, ns::Error& error) const {
  for (int64_t i = std::min<int64_t>(index, static_cast<int64_t>(elements_.size()) - 1); i >= 0; --i) {
    const MSRPValueRef& element = elements_[static_cast<size_t>(i)];
    if (element == emptyValue()) continue;
    bool equal = MSRPStrictEquals(*element, value, error);
    if (MSRPHasError(error)) return -1;
    if (equal) return i;
  }
  return -1;
}

namespace {

// The sort's order of two positions: true when b goes before a.
class SortOrder {
 public:
  SortOrder(std::shared_ptr<MSRPFunctionValue> function, std::shared_ptr<MSRPScope> scope)
      : function_(std::move(function)), scope_(std::move(scope)) {}

  bool bFirst(const MSRPValueRef& a, const MSRPValueRef& b) {
    if (MSRPHasError(error_)) return false;
    const MSRPValueRef& hole = MSRPArrayValue::emptyValue();
    if (a == hole || b == hole) return a == hole && b != hole;
    bool aUndefined = a == undefined();
    bool bUndefined = b == undefined();
    if (aUndefined || bUndefined) return aUndefined && !bUndefined;
    if (function_) {
      MSRPValueRef result = function_->invokeWithArguments({a, b}, scope_, error_);
      if (MSRPHasError(error_)) return false;
      double order = result->doubleValueOrError(error_);
      return !MSRPHasError(error_) && order > 0;
    }
    std::u16string first = a->stringValueOrError(error_);
    if (MSRPHasError(error_)) return false;
    std::u16string second = b->stringValueOrError(error_);
    if (MSRPHasError(error_)) return false;
    return ns::compare(ns::toUtf8(first), ns::toUtf8(second)) == ns::ComparisonResult::Descending;
  }
  ns::Error& error() { return error_; }

 private:
  std::shared_ptr<MSRPFunctionValue> function_;
  std::shared_ptr<MSRPScope> scope_;
  ns::Error error_;
};

}  // namespace

void MSRPArrayValue::sortUsingFunctionValue(const std::shared_ptr<MSRPFunctionValue>& function,
                                            const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  // A bottom-up merge sort of a copy: each merge takes from the left run
  // unless the right element goes first, so it only ever indexes inside
  // the runs it merges whatever the comparator answers, and keeps equal
  // positions in their order.
  MSRPValueList items = elements_;
  MSRPValueList merged(items.size());
  SortOrder order(function, scope);
  for (size_t width = 1; width < items.size(); width *= 2) {
    for (size_t low = 0; low < items.size(); low += 2 * width) {
      size_t middle = std::min(low + width, items.size());
      size_t high = std::min(low + 2 * width, items.size());
      size_t left = low, right = middle, out = low;
      while (left < middle && right < high) {
        merged[out++] = order.bFirst(items[left], items[right]) ? items[right++] : items[left++];
      }
      while (left < middle) merged[out++] = items[left++];
      while (right < high) merged[out++] = items[right++];
    }
    items.swap(merged);
  }
  MSRPValueList replaced = std::exchange(elements_, std::move(items));
  MSRPReleaseValuesLater(replaced);
  MSRPReleaseValuesLater(merged);
  if (MSRPHasError(order.error())) error = order.error();
}

MSRPValueRef MSRPArrayValue::applyWithName(const std::u16string& name, const MSRPValueList& arguments,
                                           const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  if (const MSRPValueRef* property = propertyMap_.find(name)) {
    auto function = MSRPValueAs<MSRPFunctionValue>(*property);
    if (!function) {
      MSRPSetError(error, MSRPErrorNoSuchMethod);
      return undefined();
    }
    return function->invokeWithArguments(arguments, scope, error);
  }
  auto self = std::static_pointer_cast<MSRPArrayValue>(shared_from_this());
  return MSRPArrayCommandEvaluator::sharedInstance().evaluateCommand(name, self, arguments, scope, error);
}
