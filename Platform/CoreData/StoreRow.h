// One row of an entity's table as the store reads and writes it: the
// primary key, then one value per attribute (transformables as data) and
// one per relationship (the related row's key for a to-one, null for a
// to-many, which has no column).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Platform/Foundation/Value.h"

namespace cd {

struct StoreRow {
  int64_t key = 0;
  std::vector<ns::Value> values;
};

// A filter for the rows of one entity: an SQL condition with its bound
// values. `exact` says whether the condition alone decides a match; when it
// does not, matches are checked again in memory.
struct StoreFilter {
  std::string where;
  std::vector<ns::Value> bindings;
  bool exact = true;
};

// The order and the number of rows a fetch wants from the store: an SQL
// ORDER BY list (empty: key order) and a limit (0: none).
struct StoreOrder {
  std::string orderBy;
  size_t limit = 0;
};

}  // namespace cd
