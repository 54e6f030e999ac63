#include "Libraries/TelemetryCore/ZEVUdederozedaruDebugRedaction.h"

#include <array>
#include <string_view>

#include "Platform/Foundation/Json.h"

namespace {

constexpr std::array<std::string_view, 3> kSecretHeaderFields = {"X-Zoro-Api-Key", "Authorization",
                                                                  "x-zoro-zis-ios-iid-migration-auth"};
constexpr std::array<std::string_view, 2> kSecretJSONKeys = {"refreshToken", "token"};

bool isSecretHeaderField(std::string_view name) {
  for (auto secret : kSecretHeaderFields) {
    if (net::headerNameEquals(name, secret)) return true;
  }
  return false;
}

bool isSecretJSONKey(std::string_view key) {
  for (auto secret : kSecretJSONKeys) {
    if (key == secret) return true;
  }
  return false;
}

// Replaces the secret values below `value`; returns whether any was found.
bool redactJSON(ns::Value& value) {
  bool found = false;
  if (ns::Dictionary* dict = value.asDictionary()) {
    for (const auto& key : dict->keys()) {
      ns::Value* member = dict->find(key);
      if (isSecretJSONKey(key)) {
        *member = ns::Value(kZEVUdederozedaruRedactedValue);
        found = true;
      } else {
        found = redactJSON(*member) || found;
      }
    }
  } else if (ns::Array* items = value.asArray()) {
    for (auto& item : *items) found = redactJSON(item) || found;
  }
  return found;
}

}  // namespace

std::string ZEVUdederozedaruRedactedHeaderFields(const net::HTTPHeaderFields& fields) {
  ns::Dictionary shown;
  for (const auto& [name, value] : fields.fields()) {
    shown.set(name, ns::Value(isSecretHeaderField(name) ? std::string(kZEVUdederozedaruRedactedValue) : value));
  }
  return ns::Value(std::move(shown)).description();
}

std::string ZEVUdederozedaruRedactedBody(const ns::Data& body) {
  std::string text(body.begin(), body.end());
  auto parsed = ns::jsonObjectFromData(body, nullptr);
  if (!parsed || !redactJSON(*parsed)) return text;
  return ns::jsonStringFromObject(*parsed, nullptr, {.withoutEscapingSlashes = true}).value_or(text);
}

std::string ZEVUdederozedaruRedactedAnswerBody(const ns::Data& body, int status) {
  if (status >= 200 && status <= 299) return ZEVUdederozedaruRedactedBody(body);
  return body.empty() ? std::string() : std::string(kZEVUdederozedaruRedactedValue);
}
