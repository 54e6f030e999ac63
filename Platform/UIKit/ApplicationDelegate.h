// What the application tells its delegate: launch, the lifecycle, URLs to
// open, quick actions and protected data, and the main window it is given
// (ApplicationMain.h). Every operation is optional.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Platform/Foundation/Value.h"
#include "Platform/UIKit/ShortcutItem.h"

namespace ui {

class Application;
class Window;

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  // The main window; a delegate that keeps one holds it strongly.
  virtual std::shared_ptr<Window> window() const { return nullptr; }
  virtual void setWindow(std::shared_ptr<Window> window) { (void)window; }
  virtual bool willFinishLaunching(Application&, const ns::Dictionary& options) {
    (void)options;
    return true;
  }
  virtual bool didFinishLaunching(Application&, const ns::Dictionary& options) {
    (void)options;
    return true;
  }
  virtual void willResignActive(Application&) {}
  virtual void didEnterBackground(Application&) {}
  virtual void willEnterForeground(Application&) {}
  virtual void didBecomeActive(Application&) {}
  virtual void willTerminate(Application&) {}
  virtual void significantTimeChange(Application&) {}
  virtual void protectedDataWillBecomeUnavailable(Application&) {}
  virtual void protectedDataDidBecomeAvailable(Application&) {}
  // A URL handed to the app; whether it was handled.
  virtual bool openURL(Application&, const std::string& url, const ns::Dictionary& options) {
    (void)url;
    (void)options;
    return false;
  }
  virtual void performActionForShortcutItem(Application&, const ShortcutItem& item,
                                            std::function<void(bool succeeded)> completion) {
    (void)item;
    if (completion) completion(false);
  }
};

}  // namespace ui
