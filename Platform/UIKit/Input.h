// The input layer: what a person does, for tests and the host program.
// Targets are found on the visible screen (ScreenText.h shows the same),
// front to back: the topmost window and presented controller first.
//
// - tap(text): a view whose text, title, image name, accessibility
//   identifier or label is `text` (a button, a table row by any of its
//   labels, a bar button item, a label of a tappable view); the tap goes to
//   the first of it and its superviews that handles it (View::performTap).
//   A text also finds a view showing it followed by a line break (a label
//   shows its first line only, line break and all).
// - pressBarButton(title): a navigation bar item only ("Back" or the back
//   title presses the back button).
// - goBack(): the back button of the topmost navigation bar.
// - type(text), deleteBackward(), pressReturn(): into the first responder.
// - swipeRow(rowText, action): the row action titled `action` of the row
//   showing `rowText` (TableView.h).
// - dragRow(rowText, targetText): drags the row showing `rowText` by its
//   reorder control to where the row showing `targetText` is (same table,
//   which must be editing); the table's delegate may redirect the drop.
// - longPress(text, seconds): holds a long-press recognizer's view.
// - toggle(text): the switch in the row or container showing `text`.
// - slide(text, value): drags the slider in the row or container showing
//   `text` to `value` (clamped to its range).
// - lifecycle: background(), foreground(), ...; advance(seconds) moves the
//   virtual clock from deadline to deadline (timers, delayed blocks) up to
//   the end, so that each runs at its own time, with what it queued on the
//   main run loop run before the clock moves on.
//
// Every touch (taps, bar buttons, swipes, drags, presses, switches,
// sliders, scrolling, date wheels) is first offered to the gesture
// recognizers of the views above the touched one, which ask their delegates
// (a recognizer over a whole screen hears of every touch); a tap then
// reaches the touched view's touchesBegan, and only when that view does not
// take it, View::performTap up the superviews.
//
// Every action settles afterwards: the main run loop runs what is ready,
// and with a virtual clock the clock moves by settleTime() (0.5 s, longer
// than any transition) so that animations and transitions complete. Each
// returns false when it found nothing to act on; lastFailure() says why.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Date.h"
#include "Platform/UIKit/Geometry.h"

namespace ui {

class DatePicker;
class TableView;
class View;
class ViewController;

class Input {
 public:
  static bool tap(const std::string& text);
  static bool tapView(View& view);
  // A tap at `location` (the view's coordinates) instead of its centre.
  static bool tapView(View& view, Point location);
  static bool pressBarButton(const std::string& title);
  static bool goBack();
  static bool type(const std::string& text);
  static bool deleteBackward();
  static bool pressReturn();
  static bool swipeRow(const std::string& rowText, const std::string& action);
  static bool dragRow(const std::string& rowText, const std::string& targetText);
  static bool longPress(const std::string& text, double seconds);
  // A firm press on `text` inside a view registered for previewing: the
  // preview controller, or null. pop() then commits it (opens it).
  static std::shared_ptr<ViewController> peek(const std::string& text);
  static bool pop(const std::string& text);
  // Flips the switch next to `text` (in the same row or container).
  static bool toggle(const std::string& text);
  // Drags the slider next to `text` to `value`.
  static bool slide(const std::string& text, float value);

  // Rows by number: the rows of the frontmost table on screen, counted
  // from 1 down the whole table across its sections (ScreenText prints
  // the numbers). A row off screen is scrolled on screen first.
  static TableView* numberedTable();
  static bool tapRow(int number);
  static bool swipeRow(int number, const std::string& action);
  static bool dragRow(int number, int targetNumber);
  // The titles a swipe on the row reveals; null when there is no such row.
  static std::optional<std::vector<std::string>> rowActions(int number);
  static std::optional<std::vector<std::string>> rowActions(const std::string& rowText);
  // Moves the frontmost table by a screenful less a row, as a finger's
  // flick (direction < 0: up); false at that end already. scrollTo looks
  // for a row showing `text` from the top down, a screenful at a time.
  static bool scroll(int direction);
  static bool scrollTo(const std::string& text);

  // The frontmost date picker, and a person turning its wheels to `date`:
  // the nearest step of its minute interval, refused outside its limits.
  // The date picked, or null (lastFailure says why).
  static DatePicker* frontDatePicker();
  static std::optional<ns::Date> pickDate(ns::Date date);

  static void background();
  static void foreground();
  static void lock();    // protected data goes away
  static void unlock();
  static void advance(double seconds);
  static void settle();

  static double settleTime();
  static void setSettleTime(double seconds);
  // How settling moves a virtual clock: at once (null, the default), or
  // through `pace`, which must move it by the seconds it is given (a
  // display showing the way there frame by frame).
  static void setSettlePace(std::function<void(double seconds)> pace);
  static const std::string& lastFailure();

  // The frontmost visible view matching `text`, or null.
  static View* find(const std::string& text);

  // Points of the screen (TouchInput.h turns a pointer into touches):
  // the view a touch at `p` lands on, as a tap reaches it (the keyboard's
  // accessory bar first, nothing below a presented controller), or null.
  static View* viewAt(Point p);
  // A finger goes down on `view` for a gesture other than a tap: the
  // recognizers of the views above it hear of the touch.
  static void touchDown(View& view);
};

}  // namespace ui
