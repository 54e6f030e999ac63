#include "Libraries/CrashReporter/DVCRApplication.h"

#include <algorithm>

#include "Platform/Foundation/Bundle.h"

std::string DVCRApplicationGetBundleIdentifier() {
  std::string identifier = ns::Bundle::mainBundle()->bundleIdentifier().value_or("");
  std::replace(identifier.begin(), identifier.end(), '/', '_');
  return identifier;
}

std::string DVCRApplicationGetSDKBundleID() { return "com.zorori.dozaveve.dodevadarud." + DVCRApplicationGetPlatform(); }

std::string DVCRApplicationGetPlatform() { return "ios"; }
