// The texts of the keychain wrapper's errors: the table "VLKeychain" of the
// resource bundle "VLKeychain.bundle" in the main bundle (shipped in
// Libraries/Archive/Resources).
#pragma once

#include <optional>
#include <string>

class VLKeychainTexts {
 public:
  // The text for `key`; the key itself when the table lacks it or the
  // bundle is not there (the untranslated text). The bundle is looked up at
  // each call (bundles themselves are kept per path), so a main bundle set
  // later is seen.
  static std::optional<std::string> localizedText(const std::string& key);
};
