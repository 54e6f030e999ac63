#include "Libraries/Measurement/EventEditing/MSRPStringCommandEvaluator.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Libraries/Measurement/EventEditing/MSRPArrayValue.h"
#include "Libraries/Measurement/EventEditing/MSRPCommandSupport.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"
#include "Platform/Foundation/StringCase.h"
#include "Platform/Foundation/StringCompare.h"
#include "Platform/Foundation/StringOps.h"

namespace {

using Scope = std::shared_ptr<MSRPScope>;
using Receiver = std::shared_ptr<MSRPStringValue>;
using msrp::number;
using msrp::undefined;

// A new string, when the cap and the run's allowance let it be made.
MSRPValueRef makeString(std::u16string text, ns::Error& error) {
  if (!MSRPAllowString(text.size(), error)) return undefined();
  return std::make_shared<MSRPStringValue>(std::move(text));
}

// The index conversion: the number through MSRPToInteger (NaN, also after
// a failing conversion, gives 0); infinities are kept.
double indexArgument(const MSRPValueRef& value, ns::Error& error) {
  double n = value->doubleValueOrError(error);
  return MSRPHasError(error) ? 0 : MSRPToInteger(n);
}

// The argument's string conversion, or "undefined" without one.
std::u16string textArgument(const MSRPValueList& a, size_t i, ns::Error& error) {
  return i < a.size() ? a[i]->stringValueOrError(error) : std::u16string(u"undefined");
}

// The platform's search without options: canonically equivalent texts
// match, and a match never ends inside a character.
size_t find(const std::u16string& text, const std::u16string& search, ns::Range range, unsigned options = 0) {
  return ns::rangeOfString(text, search, options, range).location;
}

MSRPValueRef charAt(const Receiver& s, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 1, error)) return undefined();
  const std::u16string& text = s->value();
  int64_t position = 0;
  if (!a.empty()) {
    double index = indexArgument(a[0], error);
    if (MSRPHasError(error)) return undefined();
    position = MSRPClampToInt64(index, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
  }
  if (position < 0 || static_cast<uint64_t>(position) >= text.size()) return makeString(u"", error);
  return makeString(text.substr(static_cast<size_t>(position), 1), error);
}

MSRPValueRef concat(const Receiver& s, const MSRPValueList& a, const Scope&, ns::Error& error) {
  std::vector<std::u16string> parts;
  size_t length = s->value().size();
  for (const MSRPValueRef& value : a) {
    parts.push_back(value->stringValueOrError(error));
    if (MSRPHasError(error)) return undefined();
    length += parts.back().size();
    if (length > MSRPMaxStringLength) {  // before the next argument grows it further
      MSRPSetError(error, MSRPErrorSizeLimit);
      return undefined();
    }
  }
  if (!MSRPAllowString(length, error)) return undefined();
  std::u16string joined = s->value();
  joined.reserve(length);
  for (const std::u16string& part : parts) joined += part;
  return std::make_shared<MSRPStringValue>(std::move(joined));
}

MSRPValueRef hasOwnProperty(const Receiver& s, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 1, error)) return undefined();
  std::u16string key = a[0]->stringValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  if (key == u"length") return msrp::boolean(true);
  double index = a[0]->doubleValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  bool has = index >= 0 && std::trunc(index) == index && index < static_cast<double>(s->value().size());
  return msrp::boolean(has);
}

MSRPValueRef indexOf(const Receiver& s, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 2, error)) return undefined();
  const std::u16string& text = s->value();
  std::u16string search = textArgument(a, 0, error);
  if (MSRPHasError(error)) return undefined();
  int64_t start = 0;
  if (a.size() == 2) {
    double index = indexArgument(a[1], error);
    if (MSRPHasError(error)) return undefined();
    start = MSRPClampToInt64(index, 0, static_cast<int64_t>(text.size()));
  }
  if (search.empty()) return number(-1);
  auto from = static_cast<size_t>(start);
  size_t found = find(text, search, ns::Range{from, text.size() - from});
  return number(found == ns::kNotFound ? -1 : static_cast<double>(found));
}

MSRPValueRef lastIndexOf(const Receiver& s, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 2, error)) return undefined();
  const std::u16string& text = s->value();
  std::u16string search = textArgument(a, 0, error);
  if (MSRPHasError(error)) return undefined();
  double start = std::numeric_limits<double>::infinity();
  if (a.size() == 2) {
    double given = a[1]->doubleValueOrError(error);
    if (MSRPHasError(error)) return undefined();
    if (!std::isnan(given)) start = MSRPToInteger(given);
  }
  if (search.empty()) return number(-1);
  auto length = static_cast<int64_t>(text.size());
  int64_t end = std::min(MSRPClampToInt64(start, 0, length) + static_cast<int64_t>(search.size()), length);
  size_t found = find(text, search, ns::Range{0, static_cast<size_t>(end)}, ns::kBackwards);
  return number(found == ns::kNotFound ? -1 : static_cast<double>(found));
}

// The compiled pattern of a "match" or "search"; null with the platform's
// error when it does not compile.
std::shared_ptr<const ns::RegularExpression> compile(const std::u16string& pattern, ns::Error& error) {
  ns::Error compileError;
  auto expression = ns::RegularExpression::make(std::u16string_view(pattern), 0, &compileError);
  if (!expression) error = compileError;
  return expression;
}

MSRPValueRef match(const Receiver& s, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 1, error)) return undefined();
  std::u16string pattern;
  if (!a.empty()) {
    pattern = a[0]->stringValueOrError(error);
    if (MSRPHasError(error)) return undefined();
  }
  std::u16string matched;
  if (!pattern.empty()) {
    auto expression = compile(pattern, error);
    if (!expression) return undefined();
    auto found = expression->firstMatch(s->value(), MSRPRegularExpressionLimit, error);
    if (MSRPHasError(error)) return undefined();
    if (!found) return MSRPNullValue::sharedInstance();
    ns::Range range = found->range();
    matched = s->value().substr(range.location, range.length);
  }
  MSRPValueRef text = makeString(std::move(matched), error);
  if (MSRPHasError(error)) return undefined();
  std::shared_ptr<MSRPArrayValue> array = MSRPArrayValue::make({text}, error);
  if (!array) return undefined();
  return array;
}

MSRPValueRef search(const Receiver& s, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 1, error)) return undefined();
  std::u16string pattern = textArgument(a, 0, error);
  if (MSRPHasError(error)) return undefined();
  if (pattern.empty()) return number(0);
  auto expression = compile(pattern, error);
  if (!expression) return undefined();
  auto found = expression->firstMatch(s->value(), MSRPRegularExpressionLimit, error);
  if (MSRPHasError(error)) return undefined();
  return number(found ? static_cast<double>(found->range().location) : -1);
}

MSRPValueRef replace(const Receiver& s, const MSRPValueList& a, const Scope& scope, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 2, error)) return undefined();
  const std::u16string& text = s->value();
  std::u16string target = textArgument(a, 0, error);
  if (MSRPHasError(error)) return undefined();
  ns::Range found = ns::rangeOfString(text, target);
  if (found.location == ns::kNotFound) {
    if (!target.empty()) return s;
    found = ns::Range{0, 0};
  }
  std::u16string replacement = u"undefined";
  if (a.size() == 2) {
    if (auto function = MSRPValueAs<MSRPFunctionValue>(a[1])) {
      MSRPValueRef result = function->invokeWithArguments(
          {std::make_shared<MSRPStringValue>(target), number(static_cast<double>(found.location)), s}, scope, error);
      if (MSRPHasError(error)) return undefined();
      replacement = result->stringValueOrError(error);
    } else {
      replacement = a[1]->stringValueOrError(error);
    }
    if (MSRPHasError(error)) return undefined();
  }
  size_t length = text.size() - found.length + replacement.size();
  if (!MSRPAllowString(length, error)) return undefined();
  std::u16string replaced;
  replaced.reserve(length);
  replaced.append(text, 0, found.location).append(replacement).append(text, found.end());
  return std::make_shared<MSRPStringValue>(std::move(replaced));
}

// A relative position: negative counts from the end, then clamped to [0, L].
int64_t relativePosition(double index, size_t length) {
  auto size = static_cast<double>(length);
  if (index < 0) index += size;
  return MSRPClampToInt64(index, 0, static_cast<int64_t>(length));
}

MSRPValueRef slice(const Receiver& s, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 2, error)) return undefined();
  const std::u16string& text = s->value();
  int64_t begin = 0;
  auto end = static_cast<int64_t>(text.size());
  if (!a.empty()) {
    double index = indexArgument(a[0], error);
    if (MSRPHasError(error)) return undefined();
    begin = relativePosition(index, text.size());
  }
  if (a.size() == 2) {
    double index = indexArgument(a[1], error);
    if (MSRPHasError(error)) return undefined();
    end = relativePosition(index, text.size());
  }
  if (end < begin) end = begin;
  return makeString(text.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin)), error);
}

MSRPValueRef substring(const Receiver& s, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 2, error)) return undefined();
  const std::u16string& text = s->value();
  auto length = static_cast<int64_t>(text.size());
  // Each bound as a 32-bit integer (saturating, NaN 0), then clamped.
  auto bound = [&](size_t i, int64_t absent) -> int64_t {
    if (i >= a.size()) return absent;
    double index = indexArgument(a[i], error);
    int64_t whole = MSRPClampToInt64(index, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    return std::clamp<int64_t>(whole, 0, length);
  };
  int64_t start = bound(0, 0);
  if (MSRPHasError(error)) return undefined();
  int64_t end = bound(1, length);
  if (MSRPHasError(error)) return undefined();
  if (end < start) std::swap(start, end);
  return makeString(text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)), error);
}

MSRPValueRef split(const Receiver& s, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckMaximumArgumentCount(a, 2, error)) return undefined();
  const std::u16string& text = s->value();
  if (text.empty() || a.empty()) {
    std::shared_ptr<MSRPArrayValue> whole = MSRPArrayValue::make({s}, error);
    if (!whole) return undefined();
    return whole;
  }
  std::u16string separator = a[0]->stringValueOrError(error);
  if (MSRPHasError(error)) return undefined();
  uint64_t limit = std::numeric_limits<uint64_t>::max();
  if (a.size() == 2) {
    double given = a[1]->doubleValueOrError(error);
    if (MSRPHasError(error)) return undefined();
    limit = static_cast<uint32_t>(MSRPToInt32(given));
  }
  std::vector<std::u16string> pieces;
  if (limit > 0) {
    if (separator.empty()) {
      size_t count = static_cast<size_t>(std::min<uint64_t>(limit, text.size()));
      if (!MSRPAllowArray(count, 0, error)) return undefined();
      pieces.reserve(count);
      for (size_t i = 0; i < count; ++i) pieces.emplace_back(1, text[i]);
    } else {
      pieces = ns::componentsSeparatedByString(std::u16string_view(text), std::u16string_view(separator));
      if (pieces.size() > limit) pieces.resize(static_cast<size_t>(limit));
    }
  }
  if (!MSRPAllowArray(pieces.size(), 0, error)) return undefined();
  MSRPValueList values;
  values.reserve(pieces.size());
  for (std::u16string& piece : pieces) {
    values.push_back(makeString(std::move(piece), error));
    if (MSRPHasError(error)) return undefined();
  }
  return std::make_shared<MSRPArrayValue>(std::move(values));
}

template <std::u16string (*Map)(std::u16string_view, std::string_view), bool Localized>
MSRPValueRef mapCase(const Receiver& s, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 0, error)) return undefined();
  std::string locale = Localized ? ns::currentLocaleIdentifier() : std::string();
  // A full mapping may lengthen the text (up to three units a unit), so it
  // is made first and checked before it becomes a value.
  return makeString(Map(s->value(), locale), error);
}

std::u16string lower(std::u16string_view text, std::string_view locale) { return ns::lowercaseString(text, locale); }
std::u16string upper(std::u16string_view text, std::string_view locale) { return ns::uppercaseString(text, locale); }

MSRPValueRef toString(const Receiver& s, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 0, error)) return undefined();
  return makeString(s->value(), error);
}

MSRPValueRef trim(const Receiver& s, const MSRPValueList& a, const Scope&, ns::Error& error) {
  if (!MSRPCheckArgumentCount(a, 0, error)) return undefined();
  return makeString(ns::trimmingWhitespaceAndNewlines(std::u16string_view(s->value())), error);
}

}  // namespace

MSRPStringCommandEvaluator& MSRPStringCommandEvaluator::sharedInstance() {
  static MSRPStringCommandEvaluator evaluator;
  return evaluator;
}

MSRPStringCommandEvaluator::MSRPStringCommandEvaluator()
    : handlers_{{u"charAt", charAt},
                {u"concat", concat},
                {u"hasOwnProperty", hasOwnProperty},
                {u"indexOf", indexOf},
                {u"lastIndexOf", lastIndexOf},
                {u"match", match},
                {u"replace", replace},
                {u"search", search},
                {u"slice", slice},
                {u"split", split},
                {u"substring", substring},
                {u"toLowerCase", mapCase<lower, false>},
                {u"toLocaleLowerCase", mapCase<lower, true>},
                {u"toUpperCase", mapCase<upper, false>},
                {u"toLocaleUpperCase", mapCase<upper, true>},
                {u"toString", toString},
                {u"trim", trim}} {}

MSRPValueRef MSRPStringCommandEvaluator::evaluateCommand(const std::u16string& name, const Receiver& receiver,
                                                         const MSRPValueList& arguments, const Scope& scope,
                                                         ns::Error& error) const {
  return msrp::callMethod(handlers_, name, receiver, arguments, scope, error);
}
