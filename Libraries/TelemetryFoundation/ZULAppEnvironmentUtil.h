// ZULAppEnvironmentUtil: where the app runs, as the telemetry components put
// it into their requests, headers and log decisions. Class operations only;
// every answer may be asked from any thread.
//
// The answers come from the device (ns::Device facts) and the main bundle:
// - The device model is the model identifier the device reports ("hw.machine",
//   the machine name), never the host computer's: a device whose model is
//   "x86_64" or "i386" is a simulator.
// - A store install: not a simulator, no test receipt ("sandboxReceipt",
//   unless Info.plist switches the check off with a false number under
//   "DozaveveAppStoreReceiptURLCheckEnabled"), and then either "SC_Info" in
//   the main bundle, or an encrypted executable (a device fact) without an
//   "embedded.mobileprovision" profile.
// - An extension is a main bundle whose path ends in ".appex".
// - The idiom and the system version are the device's.
#pragma once

#include <optional>
#include <string>

class ZULAppEnvironmentUtil {
 public:
  ZULAppEnvironmentUtil() = delete;

  static bool isFromAppStore();
  static bool isAppStoreReceiptSandbox();
  static bool isSimulator();
  // The value of a system control entry, or nothing for an unknown name.
  // Only "hw.machine" (the device model) is known here.
  static std::optional<std::string> getSysctlEntry(const char* name);
  static std::optional<std::string> deviceModel();
  static std::optional<std::string> deviceSimulatorModel();
  static std::string systemVersion();
  static bool isAppExtension();
  static bool isIOS7OrHigher() { return true; }
  // "ios", or "ios_on_mac" for a phone app on a desktop (never, here).
  static std::string applePlatform();
  // "ipados" on a pad (by its model name or its idiom), else applePlatform().
  static std::string appleDevicePlatform();
  static std::string deploymentType() { return "cocoapods"; }
};
