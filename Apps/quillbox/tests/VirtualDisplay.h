// For tests of the program in a window: an X display of the test's own,
// Xvfb on a display number it picks itself (-displayfd), never a display
// the machine happens to have. The server dies with the test and is killed
// (by its own id) when the object goes.
//
// started() is false only when Xvfb cannot start at all (it is missing, or
// it ends before it has a display); a server that never answers fails the
// test through `why` instead.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace quillbox::testing {

class VirtualDisplay {
 public:
  // A screen of width x height pixels, 24-bit colour.
  VirtualDisplay(int width, int height) {
    int numberPipe[2];
    if (::pipe(numberPipe) != 0) {
      why_ = "no pipe for the display number";
      return;
    }
    std::vector<std::string> arguments = {"Xvfb", "-displayfd", std::to_string(numberPipe[1]), "-screen", "0",
                                          std::to_string(width) + "x" + std::to_string(height) + "x24",
                                          "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (auto& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      ::close(numberPipe[0]);
      // Quiet: it tells of every display number it found taken.
      int quiet = ::open("/dev/null", O_WRONLY);
      if (quiet >= 0) ::dup2(quiet, STDERR_FILENO);
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(numberPipe[1]);
    std::string number;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (number.find('\n') == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd ready{numberPipe[0], POLLIN, 0};
      if (left.count() <= 0 || ::poll(&ready, 1, int(left.count())) <= 0) {
        why_ = "Xvfb did not name its display within a minute";
        break;
      }
      char buffer[32];
      ssize_t n = ::read(numberPipe[0], buffer, sizeof buffer);
      if (n <= 0) {
        cannotStart_ = true;
        why_ = "Xvfb cannot start here";
        break;
      }
      number.append(buffer, size_t(n));
    }
    ::close(numberPipe[0]);
    if (why_.empty()) name_ = ":" + number.substr(0, number.find('\n'));
  }

  ~VirtualDisplay() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  bool started() const { return !name_.empty(); }
  bool cannotStart() const { return cannotStart_; }
  const std::string& why() const { return why_; }
  // ":N", for DISPLAY.
  const std::string& name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
  std::string why_;
  bool cannotStart_ = false;
};

}  // namespace quillbox::testing
