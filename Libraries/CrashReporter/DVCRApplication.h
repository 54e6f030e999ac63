// Who is running, as the crash reporter names it in folders, queues and
// reports.
#pragma once

#include <string>

// The main bundle's identifier with every "/" replaced by "_" (so it can
// name a folder); empty when the bundle has none.
std::string DVCRApplicationGetBundleIdentifier();
// "com.zorori.dozaveve.dodevadarud.ios": the prefix of the crash reporter's
// queue names.
std::string DVCRApplicationGetSDKBundleID();
// "ios".
std::string DVCRApplicationGetPlatform();
