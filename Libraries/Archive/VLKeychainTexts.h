// The texts of the keychain wrapper's errors: the table "VLKeychain" of the
// resource bundle "VLKeychain.bundle", located once per process.
#pragma once

#include <optional>
#include <string>

class VLKeychainTexts {
 public:
  // The text for `key`; the key itself when the table lacks it.
  //
  // Today no resource bundle is staged: every key answers itself, as a
  // table without that text would.
  static std::optional<std::string> localizedText(const std::string& key);
};
