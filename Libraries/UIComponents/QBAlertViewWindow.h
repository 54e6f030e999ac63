// The window of one alert; its own class so that the windows of alerts
// can be told apart from the application's.
#pragma once

#include "Platform/UIKit/Window.h"

class QBAlertViewWindow : public ui::Window {
 public:
  using ui::Window::Window;
  std::string typeName() const override { return "QBAlertViewWindow"; }
};
