// Touches at points of the screen, for a display with a pointer (the host
// program's window): a finger goes down, moves and lifts at screen points,
// and what that amounts to is worked out as the device's recognizers would.
//
// - Lifted within kSlop of where it went down: a tap there. A navigation
//   bar's item takes it where the bar draws the item; a row swiped open
//   takes it on its action buttons (a touch elsewhere closes the row); a
//   tap on an editing row's delete control opens the row's actions; a
//   date picker's wheel picks the row tapped above or below the middle
//   one; else the view under the point (Input::viewAt) and then its
//   superviews take it, as Input::tapView taps.
// - Held in place: a long-press recognizer on the touched view or above
//   it begins once its minimum duration has passed on the program's clock
//   (a run-loop timer: the caller keeps the main run loop running) and
//   ends when the finger lifts; such a touch is no tap.
// - Moved further, by where it went down and which way it first went: a
//   slider's thumb follows it; a date picker's wheel turns a row per
//   DatePicker::kWheelRowHeight points; a row's reorder control (editing)
//   moves the row to the row it is dropped on; sideways on a row with
//   swipe actions, kSwipeDistance to the left opens them and to the right
//   closes them; else the nearest scroll view under it follows the
//   finger (a list scrolls).
//
// A gesture that acted settles when it ends (Input::settle). Main thread.
#pragma once

#include "Platform/UIKit/Geometry.h"

namespace ui {

class TouchInput {
 public:
  static constexpr double kSlop = 10;
  static constexpr double kSwipeDistance = 40;

  static void began(Point p);
  static void moved(Point p);
  // Whether the touch did anything.
  static bool ended(Point p);
  // The touch is called off (the pointer left the display): a scroll or a
  // press in progress ends, nothing is tapped.
  static void cancelled();
  static bool isDown();

  // A scroll wheel moves the scroll view under `p` by `dy` points of its
  // content (down for positive); whether it moved.
  static bool scroll(Point p, double dy);
};

}  // namespace ui
