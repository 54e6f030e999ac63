#include "Libraries/Measurement/Core/MSRNotificationNames.h"

#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Window.h"

std::string MSRApplicationDidBecomeActiveNotification() { return ui::kApplicationDidBecomeActiveNotification; }
std::string MSRApplicationDidFinishLaunchingNotification() { return ui::kApplicationDidFinishLaunchingNotification; }
std::string MSRApplicationWillResignActiveNotification() { return ui::kApplicationWillResignActiveNotification; }
std::string MSRWindowDidResignKeyNotification() { return ui::kWindowDidResignKeyNotification; }
std::string MSRApplicationWillEnterForegroundNotification() {
  return ui::kApplicationWillEnterForegroundNotification;
}
std::string MSRApplicationDidEnterBackgroundNotification() { return ui::kApplicationDidEnterBackgroundNotification; }
