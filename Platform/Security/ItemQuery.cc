#include "Platform/Security/ItemQuery.h"

#include <set>
#include <string_view>

#include "Platform/Security/ItemKeys.h"

namespace sec {
namespace {

enum KeyGroup : unsigned {
  kClassKeyGroup = 1,
  kAttributeKeys = 2,
  kSearchKeys = 4,
  kDataKey = 8,
};

bool isAccessibility(const std::string& value) {
  static const std::set<std::string, std::less<>> known = {
      kAccessibleWhenUnlocked,
      kAccessibleAfterFirstUnlock,
      kAccessibleAlways,
      kAccessibleWhenPasscodeSetThisDeviceOnly,
      kAccessibleWhenUnlockedThisDeviceOnly,
      kAccessibleAfterFirstUnlockThisDeviceOnly,
      kAccessibleAlwaysThisDeviceOnly,
  };
  return known.count(value) != 0;
}

Status readString(const ns::Value& value, std::optional<std::string>* out) {
  if (!value.isString()) return kParam;
  *out = *value.asString();
  return kSuccess;
}

Status readData(const ns::Value& value, std::optional<ns::Data>* out) {
  if (!value.isData()) return kParam;
  *out = *value.asData();
  return kSuccess;
}

Status readStringOrData(const ns::Value& value, std::optional<ns::Value>* out) {
  if (!value.isString() && !value.isData()) return kParam;
  *out = value;
  return kSuccess;
}

Status readBool(const ns::Value& value, bool* out) {
  if (!value.isBool() && !value.isInteger()) return kParam;
  *out = value.boolValue();
  return kSuccess;
}

// Reads every key of `dict` into `fields`/`options`, allowing the groups in
// `allowed`. A synchronizable value of kSynchronizableAny leaves the flag
// absent and sets *syncAny.
Status parse(const ns::Dictionary& dict, unsigned allowed, ItemFields* fields, SearchOptions* options,
             bool* sawClass, bool* syncAny) {
  for (const auto& [key, value] : dict) {
    Status status = kSuccess;
    if (key == kClass) {
      if (!(allowed & kClassKeyGroup)) return kParam;
      if (!value.isString() || *value.asString() != kClassGenericPassword) return kParam;
      *sawClass = true;
    } else if (key == kUseDataProtectionKeychain) {
      if (!(allowed & kClassKeyGroup)) return kParam;
      bool ignored = false;
      status = readBool(value, &ignored);
    } else if (key == kAttrService || key == kAttrAccount || key == kAttrAccessGroup || key == kAttrLabel) {
      if (!(allowed & kAttributeKeys)) return kParam;
      auto* target = key == kAttrService   ? &fields->service
                     : key == kAttrAccount ? &fields->account
                     : key == kAttrAccessGroup ? &fields->accessGroup
                                               : &fields->label;
      status = readString(value, target);
    } else if (key == kAttrAccessible) {
      if (!(allowed & kAttributeKeys)) return kParam;
      status = readString(value, &fields->accessible);
      if (status == kSuccess && !isAccessibility(*fields->accessible)) return kParam;
    } else if (key == kAttrGeneric) {
      if (!(allowed & kAttributeKeys)) return kParam;
      status = readStringOrData(value, &fields->generic);
    } else if (key == kAttrSynchronizable) {
      if (!(allowed & kAttributeKeys)) return kParam;
      if (value.isString()) {
        if (*value.asString() != kSynchronizableAny) return kParam;
        *syncAny = true;
        fields->synchronizable.reset();
      } else {
        bool b = false;
        status = readBool(value, &b);
        fields->synchronizable = b;
      }
    } else if (key == kValueData) {
      if (!(allowed & kDataKey)) return kParam;
      status = readData(value, &fields->data);
    } else if (key == kReturnData || key == kReturnAttributes) {
      if (!(allowed & kSearchKeys)) return kParam;
      status = readBool(value, key == kReturnData ? &options->returnData : &options->returnAttributes);
    } else if (key == kMatchLimit) {
      if (!(allowed & kSearchKeys)) return kParam;
      if (!value.isString()) return kParam;
      const std::string& limit = *value.asString();
      if (limit == kMatchLimitAll) {
        options->matchAll = true;
      } else if (limit == kMatchLimitOne) {
        options->matchAll = false;
      } else {
        return kParam;
      }
    } else {
      return kParam;
    }
    if (status != kSuccess) return status;
  }
  return kSuccess;
}

ItemFilter filterFrom(const ItemFields& fields, bool syncAny) {
  ItemFilter filter;
  filter.service = fields.service;
  filter.account = fields.account;
  filter.accessGroup = fields.accessGroup;
  filter.label = fields.label;
  filter.accessible = fields.accessible;
  if (fields.generic) {
    const ns::Value& generic = *fields.generic;
    filter.generic = generic.isString() ? ns::Data(generic.asString()->begin(), generic.asString()->end())
                                        : *generic.asData();
  }
  // Without the key a search sees local items only.
  if (syncAny) {
    filter.synchronizable.reset();
  } else {
    filter.synchronizable = fields.synchronizable.value_or(false);
  }
  return filter;
}

}  // namespace

Status ItemQuery::parseSearch(const ns::Dictionary& query, ItemFilter* filter, SearchOptions* options) {
  ItemFields fields;
  bool sawClass = false, syncAny = false;
  *options = {};
  Status status = parse(query, kClassKeyGroup | kAttributeKeys | kSearchKeys, &fields, options, &sawClass, &syncAny);
  if (status != kSuccess) return status;
  if (!sawClass) return kParam;
  *filter = filterFrom(fields, syncAny);
  return kSuccess;
}

Status ItemQuery::parseSelector(const ns::Dictionary& query, ItemFilter* filter) {
  ItemFields fields;
  SearchOptions unused;
  bool sawClass = false, syncAny = false;
  Status status = parse(query, kClassKeyGroup | kAttributeKeys, &fields, &unused, &sawClass, &syncAny);
  if (status != kSuccess) return status;
  if (!sawClass) return kParam;
  *filter = filterFrom(fields, syncAny);
  return kSuccess;
}

Status ItemQuery::parseNewItem(const ns::Dictionary& attributes, ItemFields* item) {
  SearchOptions unused;
  bool sawClass = false, syncAny = false;
  *item = {};
  Status status = parse(attributes, kClassKeyGroup | kAttributeKeys | kDataKey, item, &unused, &sawClass, &syncAny);
  if (status != kSuccess) return status;
  if (!sawClass) return kParam;
  // "Any" is a search value; an item is added as a local one.
  if (!item->synchronizable) item->synchronizable = false;
  return kSuccess;
}

Status ItemQuery::parseChanges(const ns::Dictionary& attributes, ItemFields* changes) {
  SearchOptions unused;
  bool sawClass = false, syncAny = false;
  *changes = {};
  Status status = parse(attributes, kAttributeKeys | kDataKey, changes, &unused, &sawClass, &syncAny);
  if (status != kSuccess) return status;
  if (syncAny) return kParam;  // an item is either synchronized or not
  return kSuccess;
}

}  // namespace sec
