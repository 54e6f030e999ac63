// For tests: a child process (a peer or the loopback program) whose standard
// output the test reads. It dies with the test, and the destructor kills it
// (by its own id) unless it was waited for.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace net::testing {

class Child {
 public:
  explicit Child(std::vector<std::string> arguments) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return;
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      ::dup2(pipeFds[1], STDOUT_FILENO);
      ::close(pipeFds[0]);
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(pipeFds[1]);
    out_ = ::fdopen(pipeFds[0], "r");
  }
  ~Child() {
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_) ::fclose(out_);
  }

  std::string readLine() {
    char line[512];
    return out_ && std::fgets(line, sizeof line, out_) ? line : "";
  }
  std::string readAll() {
    std::string all;
    char buffer[4096];
    while (out_) {
      size_t got = std::fread(buffer, 1, sizeof buffer, out_);
      if (got == 0) break;
      all.append(buffer, got);
    }
    return all;
  }
  int wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
  bool waited_ = false;
};

}  // namespace net::testing
