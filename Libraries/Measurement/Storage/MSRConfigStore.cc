#include "Libraries/Measurement/Storage/MSRConfigStore.h"

std::optional<ns::Array> MSRConfigStore::arrayForKey(std::string_view key) {
  auto object = objectForKey(key);
  if (!object || !object->isArray()) return std::nullopt;
  return std::move(*object->asArray());
}

std::optional<ns::Dictionary> MSRConfigStore::dictionaryForKey(std::string_view key) {
  auto object = objectForKey(key);
  if (!object || !object->isDictionary()) return std::nullopt;
  return std::move(*object->asDictionary());
}

std::optional<std::string> MSRConfigStore::stringForKey(std::string_view key) {
  auto object = objectForKey(key);
  if (!object || !object->isString()) return std::nullopt;
  return *object->asString();
}

int64_t MSRConfigStore::integerForKey(std::string_view key) {
  auto object = objectForKey(key);
  return object && object->isNumber() ? object->integerValue() : 0;
}

float MSRConfigStore::floatForKey(std::string_view key) { return static_cast<float>(doubleForKey(key)); }

double MSRConfigStore::doubleForKey(std::string_view key) {
  auto object = objectForKey(key);
  return object && object->isNumber() ? object->doubleValue() : 0.0;
}

bool MSRConfigStore::boolForKey(std::string_view key) {
  auto object = objectForKey(key);
  return object && object->isNumber() && object->boolValue();
}
