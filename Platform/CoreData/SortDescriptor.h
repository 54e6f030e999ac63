// One sort key of a fetch: a key path (attribute, or attribute across to-one
// relationships), ascending or descending, compared by default order or,
// for strings, by the device locale ignoring case. Nil sorts first when
// ascending, last when descending.
#pragma once

#include <string>

#include "Platform/CoreData/ManagedObject.h"

namespace cd {

class SortDescriptor {
 public:
  enum class Comparison { Default, LocalizedCaseInsensitive };

  SortDescriptor(std::string key, bool ascending, Comparison comparison = Comparison::Default)
      : key_(std::move(key)), ascending_(ascending), comparison_(comparison) {}

  const std::string& key() const { return key_; }
  bool ascending() const { return ascending_; }
  Comparison comparison() const { return comparison_; }

  // <0 when a sorts before b under this descriptor.
  int compare(const KeyPathValue& a, const KeyPathValue& b) const;

 private:
  std::string key_;
  bool ascending_;
  Comparison comparison_;
};

}  // namespace cd
