// The window of one alert; its own class so that the windows of alerts
// can be told apart from the application's.
#pragma once

#include <memory>
#include <string>

#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/Window.h"

class QBAlertViewWindow : public ui::Window {
 public:
  using ui::Window::Window;
  std::string typeName() const override { return "QBAlertViewWindow"; }

  // What a window currently shows: its root controller's presented
  // controller when there is one, else the root controller.
  static std::shared_ptr<ui::ViewController> currentViewController(const ui::Window& window) {
    auto root = window.rootViewController();
    if (!root) return nullptr;
    if (auto presented = root->presentedViewController()) return presented;
    return root;
  }
};
