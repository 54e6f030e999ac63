// The application and window notifications the engine and the screen-view
// reporter subscribe to, by the platform's names.
#pragma once

#include <string>

std::string MSRApplicationDidBecomeActiveNotification();
std::string MSRApplicationDidFinishLaunchingNotification();
std::string MSRApplicationWillResignActiveNotification();
std::string MSRWindowDidResignKeyNotification();
std::string MSRApplicationWillEnterForegroundNotification();
std::string MSRApplicationDidEnterBackgroundNotification();
