// What the platform reports about the device to the interface: idiom,
// orientation, system name and version, model and name, from ns::Device.
// Changing the orientation posts "UIDeviceOrientationDidChangeNotification".
#pragma once

#include <string>

#include "Platform/Foundation/Device.h"

namespace ui {

inline constexpr const char* kDeviceOrientationDidChangeNotification =
    "UIDeviceOrientationDidChangeNotification";

class DeviceInfo {
 public:
  static DeviceInfo& current();

  ns::UserInterfaceIdiom userInterfaceIdiom() const;
  bool isPad() const { return userInterfaceIdiom() == ns::UserInterfaceIdiom::Pad; }
  bool isPhone() const { return userInterfaceIdiom() == ns::UserInterfaceIdiom::Phone; }
  ns::DeviceOrientation orientation() const;
  std::string systemName() const;
  std::string systemVersion() const;
  // The system version compared numerically, part by part ("9.3" < "10.0").
  bool systemVersionAtLeast(const std::string& version) const;
  std::string model() const;  // "iPhone" or "iPad"
  std::string name() const;
  // The vendor identifier: a UUID text kept in the device directory per
  // vendor (the main bundle identifier without its last component), the
  // same for every app of that vendor on this device and across launches;
  // empty when there is no bundle identifier.
  std::string identifierForVendor() const;

  // Turns the device: stores the orientation, resizes the windows to the
  // new screen bounds (with size transitions) and posts the notification.
  void setOrientation(ns::DeviceOrientation orientation);
};

}  // namespace ui
