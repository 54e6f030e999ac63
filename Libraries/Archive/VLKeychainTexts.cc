#include "Libraries/Archive/VLKeychainTexts.h"

#include <memory>

#include "Platform/Foundation/Bundle.h"

std::optional<std::string> VLKeychainTexts::localizedText(const std::string& key) {
  auto main = ns::Bundle::mainBundle();
  auto path = main ? main->pathForResource("VLKeychain", "bundle") : std::nullopt;
  auto bundle = path ? ns::Bundle::bundleWithPath(*path) : nullptr;
  if (!bundle) return key;
  return bundle->localizedString(key, "", "VLKeychain");
}
