// ZOVBundleUtil: where the telemetry core looks for its files and how it
// checks the app's bundle identifier. Class operations only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Bundle.h"

class ZOVBundleUtil {
 public:
  ZOVBundleUtil() = delete;

  // The main bundle, then the bundle holding the core: the core is linked
  // into the program, so that is the main bundle again.
  static std::vector<std::shared_ptr<ns::Bundle>> relevantBundles();

  // The path of "<name>.<type>" in the first bundle (in list order) that
  // has it; nothing when none has.
  static std::optional<std::string> optionsDictionaryPathWithResourceName(
      const std::string& name, const std::string& type, const std::vector<std::shared_ptr<ns::Bundle>>& bundles);

  // Whether some bundle's identifier is `identifier`; in an app extension
  // also whether some bundle's identifier without its last part is.
  static bool hasBundleIdentifierPrefix(const std::string& identifier,
                                        const std::vector<std::shared_ptr<ns::Bundle>>& bundles);

  // "a.b.c" gives "a.b"; an identifier without "." gives "".
  static std::string bundleIdentifierByRemovingLastPartFrom(const std::string& identifier);
};
