// The start of an app with a main storyboard: the storyboard named by the
// main bundle's "UIMainStoryboardFile" gives its initial controller, a
// window covering the screen gets it as root and is handed to the delegate
// (setWindow), then the application launches: the delegate finishes
// launching, the window becomes key and visible, and the application
// becomes active. The asset catalogue is the main bundle's "Assets" folder
// unless a directory was set. Running the main run loop is the caller's.
#pragma once

#include <memory>

#include "Platform/Foundation/Value.h"
#include "Platform/UIKit/ApplicationDelegate.h"

namespace ui {

class Window;

inline constexpr const char* kMainStoryboardFileKey = "UIMainStoryboardFile";

// The key window (also the delegate's). Without a storyboard name or an
// initial scene the window stays without a root controller.
std::shared_ptr<Window> applicationMain(std::shared_ptr<ApplicationDelegate> delegate,
                                        const ns::Dictionary& launchOptions = {});

}  // namespace ui
