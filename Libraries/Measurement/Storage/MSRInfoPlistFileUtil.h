// The app's options file, "ZororiService-Info.plist", found among the main
// bundle's resources.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"

class MSRInfoPlistFileUtil {
 public:
  // The file's path; none when the bundle has no such file.
  static std::optional<std::string> zororiServiceInfoPlistPath();
  // What the file holds; none when it is missing or not a dictionary.
  static std::optional<ns::Dictionary> dictionaryFromZororiServiceInfoPlist();
};
