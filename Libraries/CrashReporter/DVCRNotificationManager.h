// Keeps three internal keys of the live report current: whether the app is
// in the background, and the device's and the interface's orientation, so
// a report tells in what state the app died.
#pragma once

#include "Platform/Foundation/Notification.h"

inline constexpr const char* kDVCRInBackgroundKey = "com.dodevadarud.in-background";
inline constexpr const char* kDVCRDeviceOrientationKey = "com.dodevadarud.device-orientation";
inline constexpr const char* kDVCRUIOrientationKey = "com.dodevadarud.ui-orientation";

class DVCRNotificationManager {
 public:
  // Writes the initial states, then follows the notifications for the life
  // of the process.
  void registerNotificationListener();
  void captureInitialNotificationStates();

  static void willBecomeActive(const ns::Notification& notification);
  static void didBecomeInactive(const ns::Notification& notification);
  static void didChangeOrientation(const ns::Notification& notification);
  static void didChangeUIOrientation(const ns::Notification& notification);
};
