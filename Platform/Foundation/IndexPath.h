// A position in a sectioned list: a section and a row in it, as tables and
// fetched-results controllers count them.
#pragma once

#include <cstddef>

namespace ns {

struct IndexPath {
  size_t section = 0;
  size_t row = 0;

  static constexpr IndexPath indexPathForRow(size_t row, size_t section) { return IndexPath{section, row}; }
  constexpr bool operator==(const IndexPath&) const = default;
};

}  // namespace ns
