#include "Platform/UIKit/DeviceInfo.h"

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/Uuid.h"
#include "Platform/UIKit/Application.h"

namespace ui {

DeviceInfo& DeviceInfo::current() {
  static DeviceInfo info;
  return info;
}

ns::UserInterfaceIdiom DeviceInfo::userInterfaceIdiom() const {
  return ns::Device::current().facts().idiom;
}
ns::DeviceOrientation DeviceInfo::orientation() const {
  return ns::Device::current().facts().orientation;
}
std::string DeviceInfo::systemName() const { return ns::Device::current().facts().systemName; }
std::string DeviceInfo::systemVersion() const { return ns::Device::current().facts().systemVersion; }
std::string DeviceInfo::model() const { return isPad() ? "iPad" : "iPhone"; }
std::string DeviceInfo::name() const { return ns::Device::current().facts().deviceName; }

std::string DeviceInfo::identifierForVendor() const {
  auto bundle = ns::Bundle::mainBundle();
  auto identifier = bundle ? bundle->bundleIdentifier() : std::nullopt;
  if (!identifier || identifier->empty()) return {};
  std::string vendor = *identifier;
  if (auto dot = vendor.rfind('.'); dot != std::string::npos && dot > 0) vendor.resize(dot);
  // Two apps of one vendor may ask at once; the lock keeps one UUID each.
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  std::string folder = ns::Device::current().directory() + "/VendorIdentifiers";
  std::string path = folder + "/" + vendor;
  {
    std::ifstream in(path);
    std::string stored;
    if (in >> stored && ns::Uuid::fromString(stored)) return stored;
  }
  std::string fresh = ns::Uuid::random().uuidString();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::ofstream out(path + ".tmp", std::ios::trunc);
  out << fresh << "\n";
  out.close();
  if (out) std::filesystem::rename(path + ".tmp", path, error);
  return fresh;
}

namespace {
std::vector<long> parts(const std::string& version) {
  std::vector<long> out;
  std::stringstream in(version);
  std::string part;
  while (std::getline(in, part, '.')) out.push_back(std::strtol(part.c_str(), nullptr, 10));
  return out;
}
}  // namespace

bool DeviceInfo::systemVersionAtLeast(const std::string& version) const {
  std::vector<long> have = parts(systemVersion()), want = parts(version);
  size_t n = std::max(have.size(), want.size());
  for (size_t i = 0; i < n; ++i) {
    long a = i < have.size() ? have[i] : 0, b = i < want.size() ? want[i] : 0;
    if (a != b) return a > b;
  }
  return true;
}

void DeviceInfo::setOrientation(ns::DeviceOrientation orientation) {
  ns::DeviceFacts facts = ns::Device::current().facts();
  if (facts.orientation == orientation) return;
  facts.orientation = orientation;
  ns::Device::current().setFacts(facts);
  Application::shared().screenBoundsDidChange();
  ns::NotificationCenter::defaultCenter().post(kDeviceOrientationDidChangeNotification,
                                               ns::unownedObject(this));
}

}  // namespace ui
