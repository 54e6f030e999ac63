#include "Platform/CoreData/SortDescriptor.h"

#include "Platform/CoreData/TextMatching.h"
#include "Platform/CoreData/ValueComparison.h"

namespace cd {

namespace {

int ascendingOrder(const KeyPathValue& a, const KeyPathValue& b, SortDescriptor::Comparison comparison) {
  if (a.isObject || b.isObject) {
    // Objects have no order of their own; keys keep them stable.
    int64_t x = a.object ? a.object->objectID().primaryKey() : -1;
    int64_t y = b.object ? b.object->objectID().primaryKey() : -1;
    return x < y ? -1 : x > y ? 1 : 0;
  }
  bool aNil = a.value.isNull(), bNil = b.value.isNull();
  if (aNil || bNil) return aNil == bNil ? 0 : aNil ? -1 : 1;
  if (comparison == SortDescriptor::Comparison::LocalizedCaseInsensitive && a.value.isString() &&
      b.value.isString()) {
    return localizedCaseInsensitiveCompare(*a.value.asString(), *b.value.asString());
  }
  auto order = orderValues(a.value, b.value);
  if (order) return *order;
  // Mixed kinds: order by kind so the sort stays consistent.
  return static_cast<int>(a.value.type()) < static_cast<int>(b.value.type()) ? -1 : 1;
}

}  // namespace

int SortDescriptor::compare(const KeyPathValue& a, const KeyPathValue& b) const {
  int c = ascendingOrder(a, b, comparison_);
  return ascending_ ? c : -c;
}

}  // namespace cd
