#include "Libraries/AppSupportKit/TXMoreAppsList.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace TXMoreAppsList {
namespace {

constexpr const char* kWhiteSpace = " \t\n\r\v\f";

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

std::optional<std::string> decimalText(const ns::Value& value) {
  if (const std::string* text = value.asString()) return *text;
  if (value.isInteger()) return value.isUnsigned() ? std::to_string(value.unsignedValue())
                                                   : std::to_string(value.integerValue());
  if (value.isReal() && std::isfinite(value.doubleValue()) && value.doubleValue() == std::floor(value.doubleValue()))
    return std::to_string(static_cast<int64_t>(value.doubleValue()));
  return std::nullopt;
}

}  // namespace

AppIDs appIDs(const ns::Value* moreApps) {
  AppIDs out;
  std::optional<std::string> text = moreApps && !moreApps->isBool() ? decimalText(*moreApps) : std::nullopt;
  if (!text) return out;
  size_t start = 0;
  while (start <= text->size()) {
    size_t comma = text->find(',', start);
    std::string element = text->substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    start = comma == std::string::npos ? text->size() + 1 : comma + 1;
    // The badge mark sits right at an end: " +7" is app 7 without a badge.
    bool badge = !element.empty() && (element.front() == '+' || element.back() == '+');
    element.erase(std::remove(element.begin(), element.end(), '+'), element.end());
    element = trimmed(element);
    if (element.empty()) continue;
    out.ids.push_back(element);
    if (badge) out.badgeIDs.push_back(element);
  }
  return out;
}

std::optional<std::string> storeID(const ns::Dictionary& record) {
  const ns::Value* trackID = record.find("trackId");
  if (!trackID || trackID->isBool()) return std::nullopt;
  return decimalText(*trackID);
}

std::optional<std::string> cleanedName(const ns::Dictionary& record) {
  const ns::Value* value = record.find("trackName");
  if (!value || !value->isString()) return std::nullopt;
  std::string name = *value->asString();
  name = trimmed(name.substr(0, name.find_first_of("-()[]{}|:,;")));
  if (name.size() >= 4 && name.compare(name.size() - 4, 4, " Pro") == 0) name = trimmed(name.substr(0, name.size() - 4));
  if (name.empty()) return std::nullopt;
  return name;
}

std::optional<std::string> artworkAddress(const ns::Dictionary& record) {
  for (const char* key : {"artworkUrl512", "artworkUrl60"})
    if (const ns::Value* value = record.find(key); value && value->isString()) return *value->asString();
  return std::nullopt;
}

}  // namespace TXMoreAppsList
