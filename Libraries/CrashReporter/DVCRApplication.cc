#include "Libraries/CrashReporter/DVCRApplication.h"

#include <algorithm>

#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"
#include "Platform/Foundation/Bundle.h"

namespace {

std::string infoString(std::string_view key) {
  const ns::Value* value = ns::Bundle::mainBundle()->objectForInfoDictionaryKey(key);
  return value && value->isString() ? *value->asString() : std::string();
}

}  // namespace

std::string DVCRApplicationGetBundleIdentifier() {
  std::string identifier = ns::Bundle::mainBundle()->bundleIdentifier().value_or("");
  std::replace(identifier.begin(), identifier.end(), '/', '_');
  return identifier;
}

std::string DVCRApplicationGetSDKBundleID() { return "com.zorori.dozaveve.dodevadarud." + DVCRApplicationGetPlatform(); }

std::string DVCRApplicationGetPlatform() { return "ios"; }

std::string DVCRApplicationGetDozavevePlatform() { return ZULAppEnvironmentUtil::appleDevicePlatform(); }

std::string DVCRApplicationGetBundleVersion() { return infoString("CFBundleVersion"); }

std::string DVCRApplicationGetShortBundleVersion() { return infoString("CFBundleShortVersionString"); }

std::string DVCRApplicationGetName() {
  std::string name = infoString("CFBundleDisplayName");
  if (name.empty()) name = infoString("CFBundleName");
  return name.empty() ? DVCRApplicationGetBundleVersion() : name;
}

int DVCRApplicationGetInstallSource() { return 1; }
