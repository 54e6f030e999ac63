// Locales by identifier ("en_US", "en_US_POSIX", "de_DE"): the device's
// locale, the fixed POSIX locale used for machine-readable dates, and the
// codes the system reads from a locale.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ns {

class Locale {
 public:
  explicit Locale(std::string identifier) : identifier_(std::move(identifier)) {}

  // "en_US_POSIX": fixed, never localized; for formats that are read back.
  static Locale posix() { return Locale("en_US_POSIX"); }
  // The device's locale (its facts' locale identifier); before any device is
  // booted, the default device facts' locale. Read at every call.
  static Locale current();
  // The user's languages, most preferred first, as language tags ("en-US").
  // The device's list when it has one (possibly empty), else the device
  // locale's language alone.
  static std::vector<std::string> preferredLanguages();

  const std::string& identifier() const { return identifier_; }
  // "en" for "en_US"; empty when the identifier names none.
  std::string languageCode() const;
  // "US", "150"; absent when the identifier names no region.
  std::optional<std::string> regionCode() const;
  std::optional<std::string> scriptCode() const;
  // ISO 4217 code of the region's currency ("USD"); absent without one.
  std::optional<std::string> currencyCode() const;

  bool operator==(const Locale& other) const { return identifier_ == other.identifier_; }

 private:
  std::string identifier_;
};

}  // namespace ns
