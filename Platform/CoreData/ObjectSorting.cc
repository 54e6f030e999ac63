#include "Platform/CoreData/ObjectSorting.h"

#include <algorithm>
#include <cmath>

#include "Platform/CoreData/KeyPath.h"
#include "Platform/CoreData/TextMatching.h"

namespace cd {

namespace {

// A key of a column that holds only integers, or only dates, or only
// (non-NaN) reals: such columns compare as plain numbers, which spares the
// general comparison its dispatch on every step of the sort.
union NumericKey {
  int64_t integer;
  double real;
};

enum class ColumnKind { Integer, Real, General };

ColumnKind kindOfColumn(const std::vector<KeyPathValue>& keys, size_t column, size_t columns) {
  ColumnKind kind = ColumnKind::General;
  ns::Value::Type type = ns::Value::Type::Null;
  for (size_t i = column; i < keys.size(); i += columns) {
    const KeyPathValue& key = keys[i];
    if (key.isObject) return ColumnKind::General;
    const ns::Value& v = key.value;
    if (i == column) {
      type = v.type();
      if (type == ns::Value::Type::Integer) kind = ColumnKind::Integer;
      else if (type == ns::Value::Type::Real || type == ns::Value::Type::Date) kind = ColumnKind::Real;
      else return ColumnKind::General;
    } else if (v.type() != type) {
      return ColumnKind::General;
    }
    if (kind == ColumnKind::Real) {
      double d = v.isDate() ? v.asDate()->timeIntervalSinceReferenceDate() : v.doubleValue();
      if (std::isnan(d)) return ColumnKind::General;
    }
  }
  return kind;
}

// Sorts `order` by numeric keys; ties keep their first order, as the
// stable sort of the general path does.
bool sortNumerically(std::vector<size_t>& order, const std::vector<KeyPathValue>& keys,
                     const std::vector<SortDescriptor>& descriptors) {
  const size_t n = descriptors.size();
  std::vector<ColumnKind> kinds(n);
  for (size_t k = 0; k < n; ++k) {
    kinds[k] = kindOfColumn(keys, k, n);
    if (kinds[k] == ColumnKind::General) return false;
  }
  std::vector<NumericKey> numbers(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    const ns::Value& v = keys[i].value;
    if (kinds[i % n] == ColumnKind::Integer) {
      numbers[i].integer = v.integerValue();
    } else {
      numbers[i].real = v.isDate() ? v.asDate()->timeIntervalSinceReferenceDate() : v.doubleValue();
    }
  }
  if (n == 1) {
    // One key: sorting (key, position) pairs keeps each comparison within
    // the pair instead of reaching into the key array.
    const bool ascending = descriptors[0].ascending();
    const bool integers = kinds[0] == ColumnKind::Integer;
    std::vector<std::pair<NumericKey, size_t>> pairs(order.size());
    for (size_t i = 0; i < order.size(); ++i) pairs[i] = {numbers[i], i};
    std::sort(pairs.begin(), pairs.end(), [&](const auto& a, const auto& b) {
      int c = integers ? (a.first.integer < b.first.integer ? -1 : a.first.integer > b.first.integer ? 1 : 0)
                       : (a.first.real < b.first.real ? -1 : a.first.real > b.first.real ? 1 : 0);
      if (c != 0) return ascending ? c < 0 : c > 0;
      return a.second < b.second;
    });
    for (size_t i = 0; i < pairs.size(); ++i) order[i] = pairs[i].second;
    return true;
  }
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    for (size_t k = 0; k < n; ++k) {
      const NumericKey& x = numbers[a * n + k];
      const NumericKey& y = numbers[b * n + k];
      int c = kinds[k] == ColumnKind::Integer ? (x.integer < y.integer ? -1 : x.integer > y.integer ? 1 : 0)
                                              : (x.real < y.real ? -1 : x.real > y.real ? 1 : 0);
      if (c != 0) return descriptors[k].ascending() ? c < 0 : c > 0;
    }
    return a < b;
  });
  return true;
}

}  // namespace

void sortObjects(std::vector<ManagedObject*>& objects, const EntityDescription& entity,
                 const std::vector<SortDescriptor>& descriptors) {
  if (descriptors.empty() || objects.size() < 2) return;
  std::vector<KeyPath> paths;
  paths.reserve(descriptors.size());
  for (const auto& d : descriptors) paths.emplace_back(entity, d.key());
  const size_t n = descriptors.size();
  // Keys in one flat array: row i holds the keys of object i.
  std::vector<KeyPathValue> keys;
  keys.reserve(objects.size() * n);
  for (ManagedObject* o : objects) {
    for (const auto& p : paths) keys.push_back(p.evaluate(*o));
  }
  std::vector<size_t> order(objects.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  if (!sortNumerically(order, keys, descriptors)) {
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      for (size_t k = 0; k < n; ++k) {
        int c = descriptors[k].compare(keys[a * n + k], keys[b * n + k]);
        if (c != 0) return c < 0;
      }
      return false;
    });
  }
  std::vector<ManagedObject*> sorted;
  sorted.reserve(objects.size());
  for (size_t i : order) sorted.push_back(objects[i]);
  objects.swap(sorted);
}

std::optional<StoreOrder> storeOrderFor(const EntityDescription& entity,
                                        const std::vector<SortDescriptor>& descriptors) {
  StoreOrder order;
  for (const SortDescriptor& d : descriptors) {
    auto index = entity.attributeIndex(d.key());
    if (!index) return std::nullopt;
    const AttributeDescription& attribute = entity.attributes()[*index];
    std::string column = "\"";
    for (char c : attribute.name) {
      if (c == '"') column += '"';
      column += c;
    }
    column += "\"";
    switch (attribute.type) {
      case AttributeType::Integer32:
      case AttributeType::Date: break;
      case AttributeType::String:
        // Memory compares UTF-8 bytes, or the device's collation ignoring case.
        column += d.comparison() == SortDescriptor::Comparison::LocalizedCaseInsensitive
                      ? std::string(" COLLATE ") + kLocalizedCollation
                      : std::string(" COLLATE BINARY");
        break;
      case AttributeType::Binary:
      case AttributeType::Transformable: return std::nullopt;
    }
    if (!order.orderBy.empty()) order.orderBy += ", ";
    order.orderBy += column + (d.ascending() ? " ASC" : " DESC");
  }
  return order;
}

}  // namespace cd
