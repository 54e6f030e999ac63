// The visible screen as a picture, for the host program and tests: the
// screen's size at its scale (Screen.h), every visible window drawn bottom
// to top by level (the app's window stays visible under an alert's, as on
// the device), then the keyboard, while it shows, as a plain panel of its
// height with the focused input's accessory view on top. Drawing happens
// only when a picture is asked for (ViewDrawing.h). Main thread.
#pragma once

#include <memory>
#include <string>

#include "Platform/Foundation/Error.h"
#include "Platform/Graphics/Image.h"

namespace ui {

class View;

class ScreenPicture {
 public:
  static std::shared_ptr<const cg::Image> capture();
  // One view and its subviews, the size of its bounds (null when empty);
  // scale 0 is the screen's.
  static std::shared_ptr<const cg::Image> capture(View& view, double scale = 0);
  // capture() as a PNG file, written whole or not at all; false and
  // *error when it cannot be written.
  static bool writePNG(const std::string& path, ns::Error* error = nullptr);
};

}  // namespace ui
