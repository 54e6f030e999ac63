// Where the measurement library runs: store install, test receipt,
// simulator, app extension, device model and system version. Class
// operations only; any thread may ask.
//
// The answers come from the device's facts and the main bundle, as for
// ZULAppEnvironmentUtil: the device says whether the executable is
// encrypted (a store download is) and whether its receipt is a test
// receipt; "SC_Info" and "embedded.mobileprovision" are files of the main
// bundle. Facts are read at each call, since a test may boot another device.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/URL.h"

namespace ui {
class Application;
}

class MSRAEU {
 public:
  MSRAEU() = delete;

  // None when Info.plist holds "DozaveveAppStoreReceiptURLCheckEnabled" as
  // a number that is false; else the main bundle's receipt URL.
  static std::optional<ns::URL> appStoreRURL();
  // The receipt's last path component is "sandboxReceipt".
  static bool isASRS();
  // A simulator: the device model is "x86_64" or "i386".
  static bool isNOD();
  // "" when the device reports none.
  static std::string deviceModel();
  static std::string systemVersion();
  // The main bundle's path ends with ".appex".
  static bool isAEX();
  // Null inside an app extension, else the shared application.
  static ui::Application* sharedApplication();
  // Installed from the store: not a simulator, no test receipt, and then
  // "SC_Info" in the bundle, or an encrypted executable without an
  // "embedded.mobileprovision" profile.
  static bool isFAS();
};
