// Reads keychain query and attribute dictionaries into typed records,
// refusing (kParam) unknown keys and values of the wrong type.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"
#include "Platform/Security/Status.h"

namespace sec {

// What a search or change selects. Absent fields match anything; an absent
// synchronizable flag matches both kinds.
struct ItemFilter {
  std::optional<std::string> service;
  std::optional<std::string> account;
  std::optional<std::string> accessGroup;
  std::optional<std::string> label;
  std::optional<std::string> accessible;
  // The generic attribute's bytes: a string matches data of the same bytes.
  std::optional<ns::Data> generic;
  std::optional<bool> synchronizable;
};

// What a search hands back.
struct SearchOptions {
  bool returnData = false;
  bool returnAttributes = false;
  bool matchAll = false;
};

// One item as stored; also the set of changes of an update, where absent
// fields stay as they are.
struct ItemFields {
  std::optional<std::string> service;
  std::optional<std::string> account;
  std::optional<std::string> accessGroup;
  std::optional<std::string> label;
  std::optional<std::string> accessible;
  std::optional<ns::Value> generic;  // a string or data, given back as stored
  std::optional<bool> synchronizable;
  std::optional<ns::Data> data;
};

class ItemQuery {
 public:
  // A search: class, attributes, return and limit keys.
  static Status parseSearch(const ns::Dictionary& query, ItemFilter* filter, SearchOptions* options);
  // A change selector: class and attributes only.
  static Status parseSelector(const ns::Dictionary& query, ItemFilter* filter);
  // A new item: class, attributes and data.
  static Status parseNewItem(const ns::Dictionary& attributes, ItemFields* item);
  // The changes of an update: attributes and data, no class.
  static Status parseChanges(const ns::Dictionary& attributes, ItemFields* changes);
};

}  // namespace sec
