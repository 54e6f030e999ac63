#include "Libraries/Measurement/Core/MSRAEU.h"

#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/UIKit/Application.h"

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::optional<ns::URL> MSRAEU::appStoreRURL() {
  auto bundle = ns::Bundle::mainBundle();
  if (const ns::Value* enabled = bundle->objectForInfoDictionaryKey("DozaveveAppStoreReceiptURLCheckEnabled");
      enabled && enabled->isNumber() && !enabled->boolValue()) {
    return std::nullopt;
  }
  return bundle->appStoreReceiptURL();
}

bool MSRAEU::isASRS() {
  auto url = appStoreRURL();
  return url && url->lastPathComponent() == "sandboxReceipt";
}

bool MSRAEU::isNOD() {
  std::string model = deviceModel();
  return model == "x86_64" || model == "i386";
}

std::string MSRAEU::deviceModel() { return ZULAppEnvironmentUtil::deviceModel().value_or(""); }

std::string MSRAEU::systemVersion() { return ZULAppEnvironmentUtil::systemVersion(); }

bool MSRAEU::isAEX() { return endsWith(ns::Bundle::mainBundle()->bundlePath(), ".appex"); }

ui::Application* MSRAEU::sharedApplication() {
  if (isAEX()) return nullptr;
  return &ui::Application::shared();
}

bool MSRAEU::isFAS() {
  // The device's fact stands for the main executable's encryption load
  // command, which a store download carries with a non-zero crypt id.
  const bool encrypted = ns::Device::current().facts().executableEncrypted;
  if (isNOD() || isASRS()) return false;
  auto bundle = ns::Bundle::mainBundle();
  if (ns::FileManager::defaultManager().fileExists(bundle->bundlePath() + "/SC_Info")) return true;
  if (!encrypted) return false;
  auto profile = bundle->pathForResource("embedded", "mobileprovision");
  return !profile || profile->empty();
}
