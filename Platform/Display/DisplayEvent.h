// What a person does at the display (Window.h), in the device screen's
// points: the pointer (a mouse, or a touch screen's finger) going down,
// moving and lifting, the wheel, typed text, the editing keys, a paste of
// the desktop's clipboard, and the window's close button.
#pragma once

#include <string>

#include "Platform/Graphics/Geometry.h"

namespace display {

enum class Key { Return, Backspace, Escape, Left, Right, Up, Down };

struct Event {
  enum class Kind {
    Close,         // the window's close button (or the desktop ending the program)
    PointerDown,   // the primary button goes down on the screen
    PointerMove,   // ... and moves while held
    PointerUp,     // ... and lifts
    PointerLost,   // the held pointer went where the window no longer sees it
    Wheel,         // `wheel` points of content at `point`, down positive
    Text,          // `text` typed (UTF-8)
    Key,           // `key` pressed (repeats while held)
    Paste,         // the paste shortcut, with the clipboard's `text`
  };
  Kind kind;
  cg::Point point;
  double wheel = 0;
  std::string text;
  Key key = Key::Return;
};

}  // namespace display
