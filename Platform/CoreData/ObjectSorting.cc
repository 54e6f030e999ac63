#include "Platform/CoreData/ObjectSorting.h"

#include <algorithm>

#include "Platform/CoreData/KeyPath.h"

namespace cd {

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
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    for (size_t k = 0; k < n; ++k) {
      int c = descriptors[k].compare(keys[a * n + k], keys[b * n + k]);
      if (c != 0) return c < 0;
    }
    return false;
  });
  std::vector<ManagedObject*> sorted;
  sorted.reserve(objects.size());
  for (size_t i : order) sorted.push_back(objects[i]);
  objects.swap(sorted);
}

}  // namespace cd
