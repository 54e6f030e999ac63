// Preference values by application name and key, the lower-level access to
// the same domains ns::UserDefaults keeps (Library/Preferences/<name>.plist).
// The device has one user and one host, so the user/host variants of the
// platform are all the same domain here. Every set is written through.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/Value.h"

namespace ns {

class Preferences {
 public:
  // The application's own domain (the main bundle's identifier).
  static constexpr const char* kCurrentApplication = "kCFPreferencesCurrentApplication";

  static std::optional<Value> copyAppValue(std::string_view key, const std::string& applicationID);
  // No value removes the key. Throws kInvalidArgumentException for a value
  // without property-list form. Unsafe application names (with "/") are ignored.
  static void setAppValue(std::string_view key, const std::optional<Value>& value, const std::string& applicationID);
  // Sets and removes several keys.
  static void setMultiple(const Dictionary& keysToSet, const std::vector<std::string>& keysToRemove,
                          const std::string& applicationID);
  static std::vector<std::string> copyKeyList(const std::string& applicationID);
  // Reads other processes' changes; false when a write still fails.
  static bool appSynchronize(const std::string& applicationID);
};

}  // namespace ns
