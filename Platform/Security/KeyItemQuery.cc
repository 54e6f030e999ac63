#include "Platform/Security/KeyItemQuery.h"

#include "Platform/Security/ItemKeys.h"

namespace sec {
namespace {

// Reads every key of `dict`; `search` admits the return and limit keys,
// `data` the key's bytes.
Status parse(const ns::Dictionary& dict, bool search, bool data, KeyFilter* filter, KeyFields* item,
             SearchOptions* options) {
  for (const auto& [key, value] : dict) {
    if (key == kClass || key == kUseDataProtectionKeychain) {
      continue;  // checked by isKeyQuery; the one keychain serves both
    } else if (key == kAttrApplicationTag) {
      if (!value.isData()) return kParam;
      filter->applicationTag = *value.asData();
    } else if (key == kAttrKeyType) {
      if (!value.isString() || *value.asString() != kAttrKeyTypeRSA) return kParam;
      filter->keyType = *value.asString();
    } else if (key == kValueData && data) {
      if (!value.isData()) return kParam;
      item->data = *value.asData();
    } else if (key == kReturnData && search) {
      if (!value.isBool() && !value.isInteger()) return kParam;
      options->returnData = value.boolValue();
    } else if (key == kMatchLimit && search) {
      if (!value.isString()) return kParam;
      if (*value.asString() == kMatchLimitAll) {
        options->matchAll = true;
      } else if (*value.asString() != kMatchLimitOne) {
        return kParam;
      }
    } else {
      return kParam;
    }
  }
  return kSuccess;
}

}  // namespace

bool isKeyQuery(const ns::Dictionary& query) {
  const ns::Value* cls = query.find(kClass);
  return cls && cls->isString() && *cls->asString() == kClassKey;
}

Status KeyItemQuery::parseSearch(const ns::Dictionary& query, KeyFilter* filter, SearchOptions* options) {
  KeyFields unused;
  *filter = {};
  *options = {};
  return parse(query, true, false, filter, &unused, options);
}

Status KeyItemQuery::parseSelector(const ns::Dictionary& query, KeyFilter* filter) {
  KeyFields unused;
  SearchOptions none;
  *filter = {};
  return parse(query, false, false, filter, &unused, &none);
}

Status KeyItemQuery::parseNewItem(const ns::Dictionary& attributes, KeyFields* item) {
  KeyFilter identity;
  SearchOptions none;
  *item = {};
  if (Status s = parse(attributes, false, true, &identity, item, &none); s != kSuccess) return s;
  if (!identity.applicationTag || !identity.keyType) return kParam;
  item->applicationTag = *identity.applicationTag;
  item->keyType = *identity.keyType;
  return kSuccess;
}

}  // namespace sec
