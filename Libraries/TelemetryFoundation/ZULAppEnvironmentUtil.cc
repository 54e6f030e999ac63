#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"

#include <sys/stat.h>

#include <cstring>

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/Foundation/StringCase.h"

namespace {

constexpr const char* kReceiptCheckEnabledKey = "DozaveveAppStoreReceiptURLCheckEnabled";

bool existsInMainBundle(const std::string& name) {
  struct stat st;
  return ::stat((ns::Bundle::mainBundle()->bundlePath() + "/" + name).c_str(), &st) == 0;
}

bool hasEmbeddedProvisioningProfile() {
  auto path = ns::Bundle::mainBundle()->pathForResource("embedded", "mobileprovision");
  return path && !path->empty();
}

}  // namespace

bool ZULAppEnvironmentUtil::isFromAppStore() {
  // No loaded image to scan here: the device says whether the executable
  // is encrypted, as a store download would be.
  bool encrypted = ns::Device::current().facts().executableEncrypted;
  if (isSimulator()) return false;
  if (isAppStoreReceiptSandbox()) return false;
  if (existsInMainBundle("SC_Info")) return true;
  if (!encrypted) return false;
  return !hasEmbeddedProvisioningProfile();
}

bool ZULAppEnvironmentUtil::isAppStoreReceiptSandbox() {
  auto bundle = ns::Bundle::mainBundle();
  if (const ns::Value* enabled = bundle->objectForInfoDictionaryKey(kReceiptCheckEnabledKey);
      enabled && enabled->isNumber() && !enabled->boolValue()) {
    return false;
  }
  return bundle->appStoreReceiptURL().lastPathComponent() == "sandboxReceipt";
}

bool ZULAppEnvironmentUtil::isSimulator() {
  auto model = deviceModel();
  return model && (*model == "x86_64" || *model == "i386");
}

// Answered by value: there is no process-wide slot for two threads to
// overwrite at once.
std::optional<std::string> ZULAppEnvironmentUtil::getSysctlEntry(const char* name) {
  if (!name || std::strcmp(name, "hw.machine") != 0) return std::nullopt;
  std::string model = ns::Device::current().facts().modelIdentifier;
  if (model.empty()) return std::nullopt;
  return model;
}

// Read from the device at each call rather than once: a test may boot
// another device in the same process.
std::optional<std::string> ZULAppEnvironmentUtil::deviceModel() { return getSysctlEntry("hw.machine"); }

std::optional<std::string> ZULAppEnvironmentUtil::deviceSimulatorModel() { return getSysctlEntry("hw.machine"); }

std::string ZULAppEnvironmentUtil::systemVersion() { return ns::Device::current().facts().systemVersion; }

bool ZULAppEnvironmentUtil::isAppExtension() {
  const std::string& path = ns::Bundle::mainBundle()->bundlePath();
  return path.size() >= 6 && path.compare(path.size() - 6, 6, ".appex") == 0;
}

std::string ZULAppEnvironmentUtil::applePlatform() {
  ns::ProcessInfo& info = ns::ProcessInfo::processInfo();
  if (info.isOperatingSystemAtLeastVersion({14, 0, 0}) && info.isPhoneAppOnDesktop()) return "ios_on_mac";
  return "ios";
}

std::string ZULAppEnvironmentUtil::appleDevicePlatform() {
  std::string platform = applePlatform();
  if (platform != "ios") return platform;
  bool pad = ns::Device::current().facts().idiom == ns::UserInterfaceIdiom::Pad;
  if (!pad) {
    auto model = deviceModel();
    pad = model && ns::lowercaseString(*model).find("ipad") != std::string::npos;
  }
  return pad ? "ipados" : platform;
}
