// Xlib stays in this file: its macros (Bool, Status, None...) would clash
// with the platform's names elsewhere.
#include <X11/Xlib.h>

#include "Apps/quillbox/tests/WindowedProgram.h"

namespace quillbox::testing {

bool askToClose(const std::string& displayName, const std::string& window) {
  ::Display* display = XOpenDisplay(displayName.c_str());
  if (!display || window.empty()) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = std::stoul(window);
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  Status sent = XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
  XCloseDisplay(display);
  return sent != 0;
}

}  // namespace quillbox::testing
