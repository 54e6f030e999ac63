#include "Libraries/EventTransport/Sessions/CacheKey.h"

#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/KeyedArchiveCoding.h"

namespace {

constexpr const char* kCreatedAtKey = "createdAt";
constexpr const char* kZororiAppIDKey = "zororiAppID";
constexpr const char* kAppVersionKey = "appVersion";

ns::Error decodingError(const std::string& reason) {
  return ns::Error::withDescription(ns::kCocoaErrorDomain, ns::kCoderReadCorruptError,
                                    "The cache key could not be read: " + reason);
}

}  // namespace

std::string CacheKey::appVersionFrom(const std::string& displayVersion, const std::string& buildVersion) {
  return displayVersion + " (" + buildVersion + ")";
}

std::optional<ns::Data> CacheKey::encoded(ns::Error* error) const {
  ns::Dictionary object{{kCreatedAtKey, ns::Value(createdAt.timeIntervalSinceReferenceDate())},
                        {kZororiAppIDKey, ns::Value(zororiAppID)},
                        {kAppVersionKey, ns::Value(appVersion)}};
  return ns::dataFromJsonObject(ns::Value(std::move(object)), error);
}

std::optional<CacheKey> CacheKey::decode(const ns::Data& data, ns::Error* error) {
  std::optional<ns::Value> json = ns::jsonObjectFromData(data, error);
  if (!json) return std::nullopt;
  auto fail = [error](const std::string& reason) -> std::optional<CacheKey> {
    if (error) *error = decodingError(reason);
    return std::nullopt;
  };
  const ns::Dictionary* object = json->asDictionary();
  if (!object) return fail("not a JSON object");
  const ns::Value* createdAt = object->find(kCreatedAtKey);
  if (!createdAt || !(createdAt->isInteger() || createdAt->isReal())) return fail("no number \"createdAt\"");
  const ns::Value* appID = object->find(kZororiAppIDKey);
  if (!appID || !appID->isString()) return fail("no string \"zororiAppID\"");
  const ns::Value* appVersion = object->find(kAppVersionKey);
  if (!appVersion || !appVersion->isString()) return fail("no string \"appVersion\"");
  return CacheKey{ns::Date(createdAt->doubleValue()), *appID->asString(), *appVersion->asString()};
}
