#include "Libraries/TelemetryCore/ZOVBundleUtil.h"

#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"

std::vector<std::shared_ptr<ns::Bundle>> ZOVBundleUtil::relevantBundles() {
  auto main = ns::Bundle::mainBundle();
  return {main, main};
}

std::optional<std::string> ZOVBundleUtil::optionsDictionaryPathWithResourceName(
    const std::string& name, const std::string& type, const std::vector<std::shared_ptr<ns::Bundle>>& bundles) {
  for (const auto& bundle : bundles) {
    if (!bundle) continue;
    if (auto path = bundle->pathForResource(name, type)) return path;
  }
  return std::nullopt;
}

bool ZOVBundleUtil::hasBundleIdentifierPrefix(const std::string& identifier,
                                              const std::vector<std::shared_ptr<ns::Bundle>>& bundles) {
  bool extension = ZULAppEnvironmentUtil::isAppExtension();
  for (const auto& bundle : bundles) {
    if (!bundle) continue;
    std::optional<std::string> own = bundle->bundleIdentifier();
    if (!own) continue;
    if (*own == identifier) return true;
    if (extension && bundleIdentifierByRemovingLastPartFrom(*own) == identifier) return true;
  }
  return false;
}

std::string ZOVBundleUtil::bundleIdentifierByRemovingLastPartFrom(const std::string& identifier) {
  size_t lastDot = identifier.rfind('.');
  return lastDot == std::string::npos ? std::string() : identifier.substr(0, lastDot);
}
