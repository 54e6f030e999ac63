// The host's display: a desktop window that shows the device's screen as it
// is drawn (ui::ScreenPicture) and reports what a person does there
// (DisplayEvent.h), so that the app is used with a mouse and a keyboard as
// a phone is with fingers.
//
// It stands on SDL2: the desktop's own window system (X11 or Wayland), a
// streaming texture that takes the screen picture's pixels as they are,
// and scaling with the aspect kept when the window is not the picture's
// size. A display of SDL's that shows no one anything (its "offscreen" and
// "dummy" drivers, which it falls back to without a desktop) counts as no
// display.
//
// The window opens at the screen's size in pixels (points times scale), or
// smaller to fit the desktop, and keeps the screen's aspect when resized:
// it is set back to that aspect once after a person's resize, and the
// picture is letterboxed meanwhile. Pointer positions are reported in the
// screen's points wherever the window shows the picture; a press outside
// the picture (on the letterbox) is not reported.
//
// One window per process, on the main thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/Display/DisplayEvent.h"
#include "Platform/Display/WindowSize.h"
#include "Platform/Graphics/Geometry.h"
#include "Platform/Graphics/Image.h"

namespace display {

class Window {
 public:
  // Connects to the desktop's display; false with `why` when there is none
  // (no DISPLAY or WAYLAND_DISPLAY to reach, or one that refuses).
  static bool connect(std::string* why);

  // A window titled `title` for a screen of `points` at `scale`, shown at
  // once (empty until the first picture); null with `why` when it cannot
  // be made. Connects first when connect() was not called.
  static std::unique_ptr<Window> open(const std::string& title, cg::Size points, double scale, std::string* why);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Shows a picture of the screen (its pixel size is the screen's).
  void show(const cg::Image& picture);
  // Whether the window needs the picture again (uncovered, resized) since
  // the last show().
  bool needsPicture() const { return needsPicture_; }

  // What happened at the display: waits up to `seconds` for the first
  // event, then takes every one waiting. Empty when nothing came.
  std::vector<Event> events(double seconds);

  // The window's size in desktop pixels now.
  PixelSize size() const;

 private:
  struct Parts;
  Window(std::unique_ptr<Parts> parts, cg::Size points, double scale);
  void translate(const void* sdlEvent, std::vector<Event>* out);
  bool toScreen(int x, int y, cg::Point* point) const;
  void keepAspect(PixelSize now);

  std::unique_ptr<Parts> parts_;
  cg::Size points_;
  double scale_;
  PixelSize pixels_;       // the picture's size
  PixelSize lastSize_;     // the window's size before the latest resize
  PixelSize askedSize_;    // the size asked for to keep the aspect, until it arrives
  bool needsPicture_ = true;
  bool pointerHeld_ = false;
  cg::Point pointer_;      // where the pointer was last seen, in points
};

}  // namespace display
