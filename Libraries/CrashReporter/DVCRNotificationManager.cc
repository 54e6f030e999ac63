#include "Libraries/CrashReporter/DVCRNotificationManager.h"

#include <string>

#include "Libraries/CrashReporter/DVCRApplication.h"
#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRUserLoggingKeys.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/DeviceInfo.h"

namespace {

int deviceOrientation() { return static_cast<int>(ui::DeviceInfo::current().orientation()); }

// An extension has no application of its own, so no interface orientation.
int interfaceOrientation() {
  if (DVCRApplicationIsExtension()) return 0;
  return static_cast<int>(ui::Application::shared().statusBarOrientation());
}

}  // namespace

void DVCRNotificationManager::registerNotificationListener() {
  captureInitialNotificationStates();
  auto& center = ns::NotificationCenter::defaultCenter();
  center.addObserver(ui::kApplicationWillEnterForegroundNotification, nullptr, nullptr, &willBecomeActive);
  center.addObserver(ui::kApplicationDidEnterBackgroundNotification, nullptr, nullptr, &didBecomeInactive);
  center.addObserver(ui::kDeviceOrientationDidChangeNotification, nullptr, nullptr, &didChangeOrientation);
  center.addObserver(ui::kApplicationDidChangeStatusBarOrientationNotification, nullptr, nullptr,
                     &didChangeUIOrientation);
}

void DVCRNotificationManager::captureInitialNotificationStates() {
  std::string device = std::to_string(deviceOrientation());
  std::string interface = std::to_string(interfaceOrientation());
  if (!dvcrContext.loggingQueue) return;
  dvcrContext.loggingQueue->async([device, interface] {
    DVCRUserLoggingWriteInternalKeyValue(kDVCRInBackgroundKey, "0");
    DVCRUserLoggingWriteInternalKeyValue(kDVCRDeviceOrientationKey, device);
    DVCRUserLoggingWriteInternalKeyValue(kDVCRUIOrientationKey, interface);
  });
}

void DVCRNotificationManager::willBecomeActive(const ns::Notification&) {
  DVCRUserLoggingSetInternalKey(kDVCRInBackgroundKey, false);
}

void DVCRNotificationManager::didBecomeInactive(const ns::Notification&) {
  DVCRUserLoggingSetInternalKey(kDVCRInBackgroundKey, true);
}

void DVCRNotificationManager::didChangeOrientation(const ns::Notification&) {
  DVCRUserLoggingSetInternalKey(kDVCRDeviceOrientationKey, deviceOrientation());
}

void DVCRNotificationManager::didChangeUIOrientation(const ns::Notification&) {
  DVCRUserLoggingSetInternalKey(kDVCRUIOrientationKey, interfaceOrientation());
}
