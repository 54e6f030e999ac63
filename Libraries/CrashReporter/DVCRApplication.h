// Who is running, as the crash reporter names it in folders, queues and
// reports.
#pragma once

#include <optional>
#include <string>

// The main bundle's identifier with every "/" replaced by "_" (so it can
// name a folder); empty when the bundle has none.
std::string DVCRApplicationGetBundleIdentifier();
// "com.zorori.dozaveve.dodevadarud.ios": the prefix of the crash reporter's
// queue names.
std::string DVCRApplicationGetSDKBundleID();
// "ios".
std::string DVCRApplicationGetPlatform();

// The utilities' platform, "ipados" on a pad (by model name or idiom).
std::string DVCRApplicationGetDozavevePlatform();
// Info.plist "CFBundleVersion" and "CFBundleShortVersionString"; "" when absent.
std::string DVCRApplicationGetBundleVersion();
std::string DVCRApplicationGetShortBundleVersion();
// "CFBundleDisplayName", else "CFBundleName", else the bundle version.
std::string DVCRApplicationGetName();
// Info.plist "NSExtension" → "NSExtensionPointIdentifier"; absent (and a
// warning logged) when either is of the wrong type.
std::optional<std::string> DVCRApplicationExtensionPointIdentifier();
bool DVCRApplicationIsExtension();
// Always 1 (not from a store): there is no store receipt on this platform.
int DVCRApplicationGetInstallSource();
// Runs `block`. The platform has no process activities to hold the process
// awake with, so there is nothing to begin or end around it.
template <class Block>
void DVCRApplicationActivity(const Block& block) {
  block();
}
