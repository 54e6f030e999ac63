// For tests of the program in a window: the built quillbox run with
// --window on a VirtualDisplay, used as a person uses it. The pointer and
// the keys come from xdotool (real input events through the X server), the
// window's pixels from ImageMagick's `import`, and the close button is the
// message a window manager sends for it. Commands still go in on standard
// input, and what the program prints is read back; every wait polls for
// what it expects within a generous bound, never for a fixed time.
//
// The program dies with the test and is killed (by its own id) unless it
// was waited for.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Apps/quillbox/tests/ProgramRun.h"
#include "Apps/quillbox/tests/VirtualDisplay.h"

namespace quillbox::testing {

// Long enough for a loaded machine; the waits end as soon as what they
// wait for is there.
inline constexpr double kWindowWait = 120;

// Sends `window` on `display` what a window manager sends when its close
// button is pressed (WM_DELETE_WINDOW); false when it cannot be sent.
bool askToClose(const std::string& display, const std::string& window);

class WindowedProgram {
 public:
  // `quillbox --window --device DEVICE ARGUMENTS...` on `display`.
  WindowedProgram(const VirtualDisplay& display, const std::string& device, std::vector<std::string> arguments = {})
      : display_(display.name()), errorsPath_(device + ".stderr") {
    arguments.insert(arguments.begin(), {QUILLBOX_BINARY_DIR "/Apps/quillbox/quillbox", "--window", "--device", device});
    std::vector<char*> argv;
    for (auto& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      ::setenv("DISPLAY", display_.c_str(), 1);
      ::unsetenv("WAYLAND_DISPLAY");
      ::dup2(in[0], STDIN_FILENO);
      ::dup2(out[1], STDOUT_FILENO);
      int errors = ::open(errorsPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (errors >= 0) ::dup2(errors, STDERR_FILENO);
      ::close(in[1]);
      ::close(out[0]);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
    ::signal(SIGPIPE, SIG_IGN);
  }

  ~WindowedProgram() {
    if (pid_ > 0 && !ended_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (input_ >= 0) ::close(input_);
    if (output_ >= 0) ::close(output_);
    std::remove(errorsPath_.c_str());
  }
  WindowedProgram(const WindowedProgram&) = delete;
  WindowedProgram& operator=(const WindowedProgram&) = delete;

  // A command line, as a person types it in the terminal.
  void send(const std::string& line) {
    std::string text = line + "\n";
    if (input_ >= 0) (void)::write(input_, text.data(), text.size());
  }

  // Everything printed so far.
  const std::string& output() {
    while (read(0)) {
    }
    return printed_;
  }
  std::string errors() const { return readWholeFile(errorsPath_); }

  // Whether `text` is printed at or after `from` (an offset of output()).
  bool waitForOutput(const std::string& text, size_t from = 0, double seconds = kWindowWait) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (printed_.find(text, from) == std::string::npos) {
      if (std::chrono::steady_clock::now() >= deadline || output_ < 0) return false;
      read(0.1);
    }
    return true;
  }

  // The screen as text now: what `screen` prints.
  std::string screen() {
    std::string marker = "WindowTestMarker" + std::to_string(++markers_);
    size_t from = output().size();
    send("screen");
    send("get " + marker);
    if (!waitForOutput(marker + " = (not set)", from)) return {};
    return printed_.substr(from, printed_.find(marker + " = (not set)", from) - from);
  }

  // Whether the screen shows `text` within the bound.
  bool waitForScreen(const std::string& text, double seconds = kWindowWait) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (screen().find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
  }

  // The program's window, once it is there; empty when it never came.
  const std::string& window() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(kWindowWait);
    while (window_.empty() && std::chrono::steady_clock::now() < deadline) {
      std::string found = xdotool("search --name '^Quillbox$'");
      window_ = found.substr(0, found.find('\n'));
      if (window_.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return window_;
  }

  // Runs xdotool on the display; what it printed.
  std::string xdotool(const std::string& arguments) const {
    std::string command = "DISPLAY=" + display_ + " xdotool " + arguments + " 2>/dev/null";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
      char buffer[256];
      while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
      ::pclose(p);
    }
    return out;
  }

  // The pointer at (x, y) pixels of the window.
  void click(int x, int y) { xdotool(moveTo(x, y) + " click 1"); }
  // Pressed at the first point, moved through the others, lifted at the last.
  void drag(const std::vector<std::pair<int, int>>& points) {
    std::string steps = moveTo(points.front().first, points.front().second) + " mousedown 1";
    for (size_t i = 1; i < points.size(); ++i) steps += " " + moveTo(points[i].first, points[i].second);
    xdotool(steps + " mouseup 1");
  }
  void type(const std::string& text) {
    xdotool("windowfocus --sync " + window() + " type --delay 20 " + shellQuoted(text));
  }
  void key(const std::string& name) { xdotool("windowfocus --sync " + window() + " key " + name); }

  // The window's size in pixels ("WIDTHxHEIGHT"), as the X server has it.
  std::string geometry() {
    std::string out = xdotool("getwindowgeometry " + window());
    size_t at = out.find("Geometry: ");
    return at == std::string::npos ? "" : out.substr(at + 10, out.find('\n', at) - at - 10);
  }

  // The window's pixels into a PNG file; false when it cannot be taken.
  bool capture(const std::string& path) const {
    std::string command = "DISPLAY=" + display_ + " import -window " + window_ + " png24:" + shellQuoted(path) +
                          " 2>/dev/null";
    return std::system(command.c_str()) == 0;
  }

  // The close button: the message a window manager sends for it.
  bool close() const { return askToClose(display_, window_); }

  // The exit status once the program ended by itself within the bound,
  // else -1.
  int waitForExit(double seconds = kWindowWait) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      read(0);
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        while (read(0.05)) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
  }

 private:
  std::string moveTo(int x, int y) const {
    return "mousemove --window " + window_ + " " + std::to_string(x) + " " + std::to_string(y);
  }

  // Takes what the program printed, waiting up to `seconds` for the first
  // of it; false when nothing came.
  bool read(double seconds) {
    if (output_ < 0) return false;
    pollfd ready{output_, POLLIN, 0};
    if (::poll(&ready, 1, int(seconds * 1000)) <= 0) return false;
    char buffer[4096];
    ssize_t n = ::read(output_, buffer, sizeof buffer);
    if (n <= 0) {
      ::close(output_);
      output_ = -1;
      return false;
    }
    printed_.append(buffer, size_t(n));
    return true;
  }

  std::string display_;
  std::string errorsPath_;
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  bool ended_ = false;
  std::string printed_;
  std::string window_;
  int markers_ = 0;
};

}  // namespace quillbox::testing
