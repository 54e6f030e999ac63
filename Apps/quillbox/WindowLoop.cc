#include "Apps/quillbox/WindowLoop.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "Apps/quillbox/ScriptRunner.h"
#include "Apps/quillbox/TerminalLoop.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/UIKit/HardwareKeyboard.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/ScreenPicture.h"
#include "Platform/UIKit/TouchInput.h"

namespace quillbox {

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kFrame = 1 / WindowLoop::kFramesPerSecond;

double secondsSince(Clock::time_point then) { return std::chrono::duration<double>(Clock::now() - then).count(); }

ui::HardwareKeyboard::Arrow arrowFor(display::Key key) {
  switch (key) {
    case display::Key::Left: return ui::HardwareKeyboard::Arrow::Left;
    case display::Key::Right: return ui::HardwareKeyboard::Arrow::Right;
    case display::Key::Up: return ui::HardwareKeyboard::Arrow::Up;
    default: return ui::HardwareKeyboard::Arrow::Down;
  }
}

}  // namespace

WindowLoop::WindowLoop(display::Window& window, HostSession& session, std::ostream& out)
    : window_(window), session_(session), out_(out), clockSynced_(Clock::now()) {
  ui::Input::setSettlePace([this](double seconds) { pace(seconds); });
}

WindowLoop::~WindowLoop() { ui::Input::setSettlePace(nullptr); }

void WindowLoop::pace(double seconds) {
  auto& loop = dispatch::RunLoop::main();
  for (double left = seconds; left > 0;) {
    double step = std::min(left, kFrame);
    // Work other queues hand back meanwhile runs as it arrives, then the
    // clock moves on by the frame.
    auto start = Clock::now();
    loop.runUntil([&] { return secondsSince(start) >= step; }, step);
    loop.advanceClock(step);
    left -= step;
    present(false);
  }
  clockSynced_ = Clock::now();
}

void WindowLoop::followRealTime() {
  if (!followsRealTime_) return;
  double elapsed = secondsSince(clockSynced_);
  clockSynced_ = Clock::now();
  dispatch::RunLoop::main().advanceClock(std::max(0.0, elapsed));
}

void WindowLoop::present(bool always) {
  uint64_t work = dispatch::RunLoop::main().blocksRun();
  if (!always && !changed_ && work == presentedWork_ && !window_.needsPicture()) return;
  if (auto picture = ui::ScreenPicture::capture()) window_.show(*picture);
  presentedWork_ = dispatch::RunLoop::main().blocksRun();
  changed_ = false;
}

void WindowLoop::act(const std::function<bool()>& action) {
  HostSession::Result result = session_.act(action);
  if (!result.output.empty()) out_ << result.output << "\n" << std::flush;
}

bool WindowLoop::handle(const display::Event& e) {
  using Kind = display::Event::Kind;
  if (e.kind == Kind::Close) return false;
  changed_ = true;
  switch (e.kind) {
    case Kind::PointerDown:
      ui::TouchInput::began(e.point);
      break;
    case Kind::PointerMove:
      ui::TouchInput::moved(e.point);
      break;
    case Kind::PointerUp:
      act([&] { return ui::TouchInput::ended(e.point); });
      break;
    case Kind::PointerLost:
      ui::TouchInput::cancelled();
      break;
    case Kind::Wheel:
      ui::TouchInput::scroll(e.point, e.wheel);
      break;
    case Kind::Text:
      act([&] { return ui::HardwareKeyboard::type(e.text); });
      break;
    case Kind::Paste:
      act([&] { return ui::HardwareKeyboard::paste(e.text); });
      break;
    case Kind::Key:
      switch (e.key) {
        case display::Key::Return: act([] { return ui::HardwareKeyboard::enter(); }); break;
        case display::Key::Backspace: act([] { return ui::HardwareKeyboard::backspace(); }); break;
        case display::Key::Escape: act([] { return ui::Input::goBack(); }); break;
        default: act([&] { return ui::HardwareKeyboard::arrow(arrowFor(e.key)); }); break;
      }
      break;
    case Kind::Close:
      break;
  }
  return true;
}

bool WindowLoop::readTerminal() {
  if (terminal_ < 0) return true;
  pollfd ready{terminal_, POLLIN, 0};
  if (::poll(&ready, 1, 0) <= 0) return true;
  char buffer[4096];
  ssize_t n = ::read(terminal_, buffer, sizeof buffer);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  if (n <= 0) {
    // The end of the terminal's input: the window goes on.
    if (prompt_) out_ << "\n" << std::flush;
    terminal_ = -1;
    n = 0;
    if (pendingInput_.empty()) return true;
    pendingInput_ += '\n';
  }
  pendingInput_.append(buffer, size_t(n));
  for (size_t end; (end = pendingInput_.find('\n')) != std::string::npos;) {
    std::string line = pendingInput_.substr(0, end);
    pendingInput_.erase(0, end + 1);
    changed_ = true;
    if (TerminalLoop::answer(line, out_, session_)) return false;
    if (prompt_ && terminal_ >= 0) out_ << "> " << std::flush;
  }
  return true;
}

void WindowLoop::printArrivals() {
  if (std::string arrived = session_.arrivedReminders(); !arrived.empty()) out_ << arrived << "\n" << std::flush;
}

void WindowLoop::runForPerson(int terminal, bool prompt) {
  terminal_ = terminal;
  prompt_ = prompt;
  followsRealTime_ = true;
  clockSynced_ = Clock::now();
  out_ << HostSession::screen() << "(help lists the commands)\n";
  if (prompt_) out_ << "> ";
  out_.flush();
  present(true);
  auto nextFrame = Clock::now();
  while (true) {
    double wait = std::max(0.0, std::chrono::duration<double>(nextFrame - Clock::now()).count());
    for (const auto& event : window_.events(wait)) {
      if (!handle(event)) {
        session_.run("quit");
        return;
      }
    }
    if (Clock::now() < nextFrame) continue;
    followRealTime();
    if (!readTerminal()) return;
    printArrivals();
    present(false);
    nextFrame = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kFrame));
  }
}

int WindowLoop::runScript(std::istream& script, const std::string& name) {
  followsRealTime_ = false;
  present(true);
  bool closed = false;
  return ScriptRunner::run(script, name, session_, out_, [&] {
    present(false);
    for (const auto& event : window_.events(0)) closed = closed || event.kind == display::Event::Kind::Close;
    return !closed;
  });
}

}  // namespace quillbox
