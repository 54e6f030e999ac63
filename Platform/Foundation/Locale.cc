#include "Platform/Foundation/Locale.h"

#include <unicode/locid.h>
#include <unicode/ucurr.h>

#include "Platform/Foundation/Device.h"

namespace ns {
namespace {

std::optional<std::string> nonEmpty(const char* text) {
  if (!text || !*text) return std::nullopt;
  return std::string(text);
}

}  // namespace

Locale Locale::current() {
  return Locale(Device::isBooted() ? Device::current().facts().localeIdentifier : DeviceFacts{}.localeIdentifier);
}

std::vector<std::string> Locale::preferredLanguages() {
  if (Device::isBooted())
    if (auto languages = Device::current().facts().preferredLanguages) return *languages;
  Locale locale = current();
  std::string tag = locale.languageCode();
  if (tag.empty()) return {"en"};
  if (auto script = locale.scriptCode()) tag += "-" + *script;
  if (auto region = locale.regionCode()) tag += "-" + *region;
  return {tag};
}

std::string Locale::languageCode() const { return icu::Locale(identifier_.c_str()).getLanguage(); }

std::optional<std::string> Locale::regionCode() const { return nonEmpty(icu::Locale(identifier_.c_str()).getCountry()); }

std::optional<std::string> Locale::scriptCode() const { return nonEmpty(icu::Locale(identifier_.c_str()).getScript()); }

std::optional<std::string> Locale::currencyCode() const {
  if (!regionCode()) return std::nullopt;
  UChar buffer[4] = {};
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucurr_forLocale(identifier_.c_str(), buffer, 4, &status);
  if (U_FAILURE(status) || length != 3) return std::nullopt;
  std::string code;
  for (int i = 0; i < 3; ++i) code += static_cast<char>(buffer[i]);
  return code;
}

}  // namespace ns
