// The host program in a window (--window): the device's screen in a desktop
// window (display::Window) that a person uses with a mouse and a keyboard.
//
// - The left button is a finger (ui::TouchInput): a click taps, a drag
//   scrolls, swipes a row or moves a control, a held click presses long;
//   the wheel scrolls what lies under the pointer.
// - Typed text, Backspace, Return, the arrows and the paste shortcut go to
//   the focused input (ui::HardwareKeyboard); Escape is `back`.
// - The window's close button is `quit`.
// Each of these goes through HostSession::act, so a reminder due meanwhile
// is printed and --shots takes its picture, as after a command.
//
// The window shows the screen as ui::ScreenPicture draws it, drawn again at
// the next frame (kFramesPerSecond) after anything that may have changed
// it: an input, or work the main run loop ran (a timer, a block from
// another queue). The program's clock follows real time frame by frame,
// and the settling after an action (ui::Input::settle) passes in real time
// too, a frame at a time: what an action sets moving is seen moving at the
// display's pace, and the window takes its next input once that is over,
// as the next command waits for it.
//
// The terminal keeps working meanwhile: lines on `terminal` are commands,
// answered with the screen as text (TerminalLoop::answer); the end of that
// input leaves the window open. With a script instead (runScript), its
// commands run as they do without a window, each settling shown in real
// time; the window then takes no input but its close button, which stops
// the script as `quit` would.
#pragma once

#include <chrono>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

#include "Apps/quillbox/HostSession.h"
#include "Platform/Display/Window.h"

namespace quillbox {

class WindowLoop {
 public:
  static constexpr double kFramesPerSecond = 60;

  WindowLoop(display::Window& window, HostSession& session, std::ostream& out);
  ~WindowLoop();
  WindowLoop(const WindowLoop&) = delete;
  WindowLoop& operator=(const WindowLoop&) = delete;

  // A person at the window and at the terminal (file descriptor
  // `terminal`; "> " before each command when `prompt`), until `quit` or
  // the close button; the app has then ended.
  void runForPerson(int terminal, bool prompt);
  // The script's status (ScriptRunner::run); the app has ended.
  int runScript(std::istream& script, const std::string& name);

 private:
  void pace(double seconds);
  void followRealTime();
  void present(bool always);
  // False for the close button.
  bool handle(const display::Event& event);
  void act(const std::function<bool()>& action);
  // False once a line was `quit`.
  bool readTerminal();
  void printArrivals();

  display::Window& window_;
  HostSession& session_;
  std::ostream& out_;
  bool followsRealTime_ = false;
  std::chrono::steady_clock::time_point clockSynced_;
  uint64_t presentedWork_ = 0;
  bool changed_ = true;
  int terminal_ = -1;
  bool prompt_ = false;
  std::string pendingInput_;
};

}  // namespace quillbox
