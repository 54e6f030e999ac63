#include "Libraries/CrashReporter/DVCRApplication.h"

#include <algorithm>

#include "Libraries/CrashReporter/DVCRLogger.h"
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

std::optional<std::string> DVCRApplicationExtensionPointIdentifier() {
  const ns::Value* extension = ns::Bundle::mainBundle()->objectForInfoDictionaryKey("NSExtension");
  if (!extension) return std::nullopt;
  if (!extension->isDictionary()) {
    DVCRLogWarningMessage("Error: NSExtension Info.plist entry is mal-formed");
    return std::nullopt;
  }
  const ns::Value* identifier = extension->find("NSExtensionPointIdentifier");
  if (!identifier) return std::nullopt;
  if (!identifier->isString()) {
    DVCRLogWarningMessage("Error: NSExtensionPointIdentifier Info.plist entry is mal-formed");
    return std::nullopt;
  }
  return *identifier->asString();
}

bool DVCRApplicationIsExtension() { return DVCRApplicationExtensionPointIdentifier().has_value(); }

int DVCRApplicationGetInstallSource() { return 1; }
