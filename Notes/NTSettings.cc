#include "Notes/NTSettings.h"

namespace {
// Seam: the main bundle's identifier. Until bundles are read from disk this
// is the application's own identifier.
std::string mainBundleIdentifier() { return "tavrix.Notes"; }
}  // namespace

std::optional<std::string> NTSettings::groupIdentifierForBundleIdentifier(
    const std::string& bundleIdentifier) {
  for (const char* prefix : {"tavrix.Pennalo", "tavrix.Notes"})
    if (bundleIdentifier.starts_with(prefix)) return std::string("group.") + prefix;
  return std::nullopt;
}

std::optional<std::string> NTSettings::groupIdentifier() {
  return groupIdentifierForBundleIdentifier(mainBundleIdentifier());
}
