// The start of every notes test child that launches the app: the device and
// the bundle from its first two arguments, as the host program takes them,
// and a virtual clock, so that nothing waits for real time to pass.
#pragma once

#include <string>

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Device.h"
#include "Platform/UIKit/AssetCatalog.h"

namespace notes::testing {

inline void bootAppChild(const char* device, const char* bundle) {
  ns::Device::boot(device);
  ns::Bundle::setMainBundlePath(bundle);
  ui::AssetCatalog::shared().setDirectory(std::string(bundle) + "/Assets");
  ns::Clock::useVirtual(ns::Date::now());
}

}  // namespace notes::testing
