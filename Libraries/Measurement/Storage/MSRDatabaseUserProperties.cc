// User properties: the user_attributes table.
#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Libraries/Measurement/Storage/MSRDatabaseStoredValues.h"
#include "Libraries/Measurement/Storage/MSRUserPropertyNameMap.h"

namespace {

constexpr const char* kTable = "user_attributes";
constexpr int64_t kMaxUserAttributes = 1000;
constexpr const char* kLifetimeValuePrefix = "_ltv_";

// A row whose value the engine cannot take is unreadable: no object, no error.
std::shared_ptr<MSRUserAttribute> userAttributeFromRow(const ns::Dictionary& row, ns::Error*) {
  const ns::Value* stored = row.find("value");
  if (!stored) return nullptr;
  std::optional<MSRValue> value = MSRValue::valueFromObject(*stored);
  if (!value) return nullptr;
  const ns::Value* origin = row.find("origin");
  const ns::Value* name = row.find("name");
  const ns::Value* timestamp = row.find("set_timestamp");
  return MSRUserAttribute::initWithOrigin(origin ? origin->stringValue() : std::string(),
                                          name ? name->stringValue() : std::string(), *value,
                                          timestamp ? timestamp->doubleValue() : 0.0);
}

bool isInternalName(const std::string& name) {
  return name.starts_with("_") || MSRDataTypeValidator::hasReservedPrefixes(name) ||
         MSRUserPropertyNameMap().contains(name);
}

std::optional<int64_t> integerFrom(const std::optional<ns::Value>& number) {
  if (!number) return std::nullopt;
  return number->integerValue();
}

}  // namespace

std::optional<int64_t> MSRDatabase::publicUserAttributeCount(ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  return integerFrom(sqliteStore_->numberForQuery(
      "SELECT count(1) FROM user_attributes WHERE name NOT LIKE '!_%' ESCAPE '!'", {}, error));
}

std::optional<int64_t> MSRDatabase::userAttributeCountForOrigin(const std::string& origin, ns::Error* error) {
  if (origin.empty()) {
    MSRDatabaseFail(error, 1, "Received empty user property origin for count query");
    return std::nullopt;
  }
  if (!sqliteStore_) return std::nullopt;
  return integerFrom(
      sqliteStore_->numberForQuery("SELECT count(1) FROM user_attributes WHERE origin = ?", {origin}, error));
}

std::optional<bool> MSRDatabase::containsUserAttributeWithName(const std::string& name, ns::Error* error) {
  if (name.empty()) {
    MSRDatabaseFail(error, 1, "Received empty user property name for exists query");
    return std::nullopt;
  }
  if (!sqliteStore_) return std::nullopt;
  auto exists = sqliteStore_->numberForQuery(
      "SELECT EXISTS (SELECT 1 FROM user_attributes WHERE name = ? LIMIT 1)", {name}, error);
  if (!exists) return std::nullopt;
  return exists->boolValue();
}

std::shared_ptr<MSRUserAttribute> MSRDatabase::userAttributeWithName(const std::string& name, ns::Error* error) {
  auto rows = dataTypesFromTableWithName<MSRUserAttribute>(kTable, "name", ns::Value(name), error,
                                                           userAttributeFromRow);
  return rows && !rows->empty() ? rows->front() : nullptr;
}

// The prefix is compared exactly: in a LIKE pattern "_" would match any
// character and ASCII case would be ignored, listing (and letting the
// lifetime-value recorder delete) a public property such as "altvalue".
std::optional<std::vector<std::shared_ptr<MSRUserAttribute>>> MSRDatabase::allLifetimeValueUserAttributes(
    ns::Error* error) {
  if (!sqliteStore_) return std::nullopt;
  auto rows = sqliteStore_->recordsForQuery(
      "SELECT rowid, * FROM user_attributes WHERE substr(name, 1, length(?)) = ? ORDER BY set_timestamp DESC",
      {kLifetimeValuePrefix, kLifetimeValuePrefix}, error);
  return allOrNothing<MSRUserAttribute>(rows, error, userAttributeFromRow);
}

std::optional<std::vector<std::shared_ptr<MSRUserAttribute>>> MSRDatabase::userAttributesIncludingInternal(
    bool includeInternal, ns::Error* error) {
  auto all = allDataTypesFromTableWithName<MSRUserAttribute>(kTable, kMaxUserAttributes, error, userAttributeFromRow);
  if (!all || includeInternal) return all;
  std::erase_if(*all, [](const auto& attribute) { return isInternalName(attribute->name()); });
  return all;
}

bool MSRDatabase::updateUserAttribute(const std::shared_ptr<MSRUserAttribute>& attribute, ns::Error* error) {
  if (!attribute) return MSRDatabaseFail(error, 3, "Received empty user property for getting dictionary representation");
  if (attribute->origin().empty()) {
    return MSRDatabaseFail(error, 3, "Received user property with empty origin for getting dictionary representation");
  }
  if (attribute->name().empty()) {
    return MSRDatabaseFail(error, 1, "Received user property with empty name for getting dictionary representation");
  }
  if (attribute->value().isString() && attribute->value().stringValue()->empty()) {
    return MSRDatabaseFail(error, 1, "Received empty string value for user property");
  }
  ns::Dictionary row{{"origin", attribute->origin()},
                     {"name", attribute->name()},
                     {"value", MSRStoredValueFromValue(attribute->value())},
                     {"set_timestamp", attribute->lastSetTimestamp()}};
  return upsertDataType(row, kTable, "name", attribute->name(), kMaxUserAttributes, error);
}

bool MSRDatabase::deleteUserAttributeWithName(const std::string& name, ns::Error* error) {
  return sqliteStore_ && sqliteStore_->deleteRecordFromTableWithName(kTable, "name", ns::Value(name), error);
}
