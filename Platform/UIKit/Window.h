// A window: the root of a view tree, with a root view controller and a
// level. Made key and visible it takes part in the screen (the application
// lists it, the renderer prints it). Windows cover the screen by default.
#pragma once

#include <memory>

#include "Platform/UIKit/View.h"

namespace ui {

inline constexpr double kWindowLevelNormal = 0;
inline constexpr double kWindowLevelStatusBar = 1000;
inline constexpr double kWindowLevelAlert = 2000;

inline constexpr const char* kWindowDidBecomeVisibleNotification = "UIWindowDidBecomeVisibleNotification";
inline constexpr const char* kWindowDidBecomeHiddenNotification = "UIWindowDidBecomeHiddenNotification";
inline constexpr const char* kWindowDidBecomeKeyNotification = "UIWindowDidBecomeKeyNotification";
inline constexpr const char* kWindowDidResignKeyNotification = "UIWindowDidResignKeyNotification";

class Window : public View {
 public:
  // Hidden, with the main screen's bounds.
  Window();
  explicit Window(const Rect& frame);
  ~Window() override;
  std::string typeName() const override { return "Window"; }

  std::shared_ptr<class ViewController> rootViewController() const { return root_; }
  // Puts the controller's view in the window (full size); a visible window
  // runs the appearance callbacks of the old and new roots.
  void setRootViewController(std::shared_ptr<ViewController> controller);

  double windowLevel() const { return level_; }
  void setWindowLevel(double level) { level_ = level; }

  void makeKeyWindow();
  // Key before the root controller appears, as on the device: what
  // follows appearances finds the window it appears in as the key window.
  void makeKeyAndVisible();
  bool isKeyWindow() const;
  void setHidden(bool hidden) override;

  Window* window() const override { return const_cast<Window*>(this); }

  // The topmost presented controller over the root (the root when nothing
  // is presented).
  std::shared_ptr<ViewController> topViewController() const;

 private:
  void rootAppears(bool appearing);
  std::shared_ptr<ViewController> root_;
  double level_ = kWindowLevelNormal;
  bool keyWhenShown_ = false;
};

}  // namespace ui
