// The visible screen as text, for tests and the host program. Each visible
// window is printed by level, bottom first, then its views in reading
// order: navigation bars first, then top to bottom, presented controllers
// last. Views print what they show ("Label", buttons as
// "[Title]", the navigation bar as "NavigationBar: [< Back] "Title" [Edit]",
// tables by section and row); hidden and transparent views and their
// subviews are left out, and so is what a full-screen presented controller
// covers. A presented controller's view starts with a line
// "Presented <Type>:" and is indented under it. While the keyboard is up,
// the first responder's accessory bar follows under "Keyboard accessory".
//
//   Window (key)
//     NavigationBar: "Folders" [Edit] [Add]
//     Table
//       Section 0
//         > "All Notes" "3"
#pragma once

#include <string>

namespace ui {

class View;

class ScreenText {
 public:
  // Every visible window.
  static std::string render();
  // Every visible window as a person reads it: no window lines; a table
  // shows its header, section headers by their text, the rows on screen
  // and how many lie above and below, the rows of the frontmost table
  // numbered from 1 down the whole table (Input::numberedTable); the two
  // sides of a split view labelled; a date picker's date as the device
  // writes it.
  static std::string renderForPerson();
  // One view and its subviews.
  static std::string render(const View& view);
  // What a view and its subviews show, on one line: the texts of the shown
  // views joined by spaces (table rows use it).
  static std::string inlineText(const View& view);
};

}  // namespace ui
