#include "Platform/UIKit/Screen.h"

#include "Platform/Foundation/Device.h"

namespace ui {

Screen& Screen::main() {
  static Screen screen;
  return screen;
}

Rect Screen::bounds() const {
  const ns::DeviceFacts& facts = ns::Device::current().facts();
  bool pad = facts.idiom == ns::UserInterfaceIdiom::Pad;
  double w = pad ? 820 : 390, h = pad ? 1180 : 844;
  bool landscape = facts.orientation == ns::DeviceOrientation::LandscapeLeft ||
                   facts.orientation == ns::DeviceOrientation::LandscapeRight;
  return landscape ? Rect(0, 0, h, w) : Rect(0, 0, w, h);
}

double Screen::scale() const {
  return ns::Device::current().facts().idiom == ns::UserInterfaceIdiom::Pad ? 2 : 3;
}

double Screen::statusBarHeight() const {
  return ns::Device::current().facts().idiom == ns::UserInterfaceIdiom::Pad ? 24 : 47;
}

Rect Screen::nativeBounds() const {
  Rect b = bounds();
  return Rect(0, 0, b.width() * scale(), b.height() * scale());
}

}  // namespace ui
