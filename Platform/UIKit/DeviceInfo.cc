#include "Platform/UIKit/DeviceInfo.h"

#include <sstream>
#include <vector>

#include "Platform/Foundation/NotificationCenter.h"
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
