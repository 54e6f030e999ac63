// Key items: a key's bytes kept under an application tag and a key type.
// They are only added, found (their data returned) and deleted; an update
// is kUnimplemented. Queries name kClass = kClassKey, optionally
// kAttrApplicationTag (data) and kAttrKeyType (kAttrKeyTypeRSA, the only
// type), and for a search kReturnData and kMatchLimit. Anything else, or a
// value of the wrong type, is kParam.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"
#include "Platform/Security/ItemQuery.h"
#include "Platform/Security/Status.h"

namespace sec {

// Absent fields match anything.
struct KeyFilter {
  std::optional<ns::Data> applicationTag;
  std::optional<std::string> keyType;
};

struct KeyFields {
  ns::Data applicationTag;
  std::string keyType;
  std::optional<ns::Data> data;
};

// Whether the dictionary names the key class.
bool isKeyQuery(const ns::Dictionary& query);

class KeyItemQuery {
 public:
  static Status parseSearch(const ns::Dictionary& query, KeyFilter* filter, SearchOptions* options);
  static Status parseSelector(const ns::Dictionary& query, KeyFilter* filter);
  // Tag and type are required.
  static Status parseNewItem(const ns::Dictionary& attributes, KeyFields* item);
};

}  // namespace sec
