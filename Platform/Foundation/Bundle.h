// A bundle: a directory holding an Info.plist and resources, with localized
// variants in "<language>.lproj" folders. The main bundle is the running
// program's: set by setMainBundlePath (tests), else $QUILLBOX_BUNDLE, else a
// "<program name>.app" folder beside the executable (any case), else the
// executable's directory.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

namespace ns {

class Bundle {
 public:
  // Info.plist keys the system reads.
  static constexpr const char* kIdentifierKey = "CFBundleIdentifier";
  static constexpr const char* kVersionKey = "CFBundleVersion";
  static constexpr const char* kShortVersionStringKey = "CFBundleShortVersionString";
  static constexpr const char* kDisplayNameKey = "CFBundleDisplayName";
  static constexpr const char* kNameKey = "CFBundleName";
  static constexpr const char* kExecutableKey = "CFBundleExecutable";
  static constexpr const char* kDevelopmentRegionKey = "CFBundleDevelopmentRegion";

  static std::shared_ptr<Bundle> mainBundle();
  // Makes `path` the main bundle (empty: back to the rules above).
  static void setMainBundlePath(const std::string& path);
  // The bundle at `path`; null when it is not a directory. One instance per path.
  static std::shared_ptr<Bundle> bundleWithPath(const std::string& path);
  static std::shared_ptr<Bundle> bundleWithURL(const URL& url) { return bundleWithPath(url.path()); }

  const std::string& bundlePath() const { return path_; }
  URL bundleURL() const { return URL::fileURLWithPath(path_, true); }
  // Resources lie in the bundle's own directory, as on the phone.
  const std::string& resourcePath() const { return path_; }

  // Where the store's receipt would lie: <sandbox>/StoreKit/receipt, or
  // .../sandboxReceipt on a device whose facts say the receipt is a test one.
  URL appStoreReceiptURL() const;

  // Info.plist as read (empty when missing or malformed); types kept.
  const Dictionary& infoDictionary() const { return info_; }
  const Value* objectForInfoDictionaryKey(std::string_view key) const { return info_.find(key); }
  std::optional<std::string> bundleIdentifier() const;

  // Looks for "<name>.<extension>" (extension may be empty, or be part of
  // `name`) in `subdirectory`: first unlocalized, then in each preferred
  // localization's ".lproj" folder. An empty name takes the first file
  // (by name) with the extension.
  std::optional<std::string> pathForResource(std::string_view name, std::string_view extension,
                                             std::string_view subdirectory = {}) const;
  std::optional<URL> urlForResource(std::string_view name, std::string_view extension,
                                    std::string_view subdirectory = {}) const;
  // Only in the given localization's folder.
  std::optional<std::string> pathForResource(std::string_view name, std::string_view extension,
                                             std::string_view subdirectory, std::string_view localization) const;
  // Every unlocalized resource with the extension, sorted.
  std::vector<std::string> pathsForResourcesOfType(std::string_view extension, std::string_view subdirectory = {}) const;

  // The value of `key` in the table "<table>.strings" ("Localizable" when
  // empty) of the preferred localizations, in order. A missing key gives
  // `value`, or the key itself when `value` is empty.
  std::string localizedString(const std::string& key, const std::string& value = {},
                              const std::string& table = {}) const;

  // Names of the ".lproj" folders, sorted.
  std::vector<std::string> localizations() const;
  // "CFBundleDevelopmentRegion", else "en".
  std::string developmentLocalization() const;
  // The localizations to use, best first: the device locale ("de_DE",
  // "de-DE", "de"), then the development localization, then "Base"; only
  // those the bundle has.
  std::vector<std::string> preferredLocalizations() const;

  // Of `localizations` (language codes such as "de", "pt-BR", "zh_Hans"),
  // those matching `preferences` (language tags, most preferred first), best
  // first: for each preference an exact match (case, "-" and "_" aside),
  // then entries of the same language with the region or script dropped on
  // either side. When none matches, `localizations` in their own order.
  static std::vector<std::string> preferredLocalizationsFromArray(const std::vector<std::string>& localizations,
                                                                  const std::vector<std::string>& preferences);
  // The same for the user's preferred languages (Locale::preferredLanguages).
  static std::vector<std::string> preferredLocalizationsFromArray(const std::vector<std::string>& localizations);

 private:
  explicit Bundle(std::string path);
  const Dictionary* table(const std::string& name, const std::string& localization) const;

  std::string path_;
  Dictionary info_;
  mutable std::mutex tablesMutex_;
  mutable std::map<std::string, std::optional<Dictionary>> tables_;  // "<lproj>/<table>"
};

}  // namespace ns
