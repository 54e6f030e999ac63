#include "Platform/CoreData/ValueComparison.h"

#include <algorithm>

#include "Platform/CoreData/TextMatching.h"

namespace cd {

std::optional<int> orderValues(const ns::Value& a, const ns::Value& b, bool caseInsensitive,
                               bool diacriticInsensitive) {
  if (a.isNull() || b.isNull()) return std::nullopt;
  if (a.isNumber() && b.isNumber()) {
    if (a.isReal() || b.isReal()) {
      double x = a.doubleValue(), y = b.doubleValue();
      return x < y ? -1 : x > y ? 1 : 0;
    }
    int64_t x = a.integerValue(), y = b.integerValue();
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if (a.isString() && b.isString()) {
    int c;
    if (caseInsensitive || diacriticInsensitive) {
      c = foldForMatching(*a.asString(), caseInsensitive, diacriticInsensitive)
              .compare(foldForMatching(*b.asString(), caseInsensitive, diacriticInsensitive));
    } else {
      c = a.asString()->compare(*b.asString());
    }
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  if (a.isDate() && b.isDate()) {
    auto c = *a.asDate() <=> *b.asDate();
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  if (a.isData() && b.isData()) {
    const ns::Data& x = *a.asData();
    const ns::Data& y = *b.asData();
    if (std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end())) return -1;
    if (std::lexicographical_compare(y.begin(), y.end(), x.begin(), x.end())) return 1;
    return 0;
  }
  return std::nullopt;
}

}  // namespace cd
