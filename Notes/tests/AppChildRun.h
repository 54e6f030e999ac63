// Runs a child program of the notes tests (one that launches the app in a
// process of its own) to its end: what it printed on standard output
// (standard error goes nowhere), and how it ended.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace notes::testing {

struct ChildEnd {
  bool killed = false;  // by SIGKILL
  int status = -1;      // the exit status, when it exited
  std::string output;
};

inline ChildEnd runAppChild(const char* program, const std::vector<std::string>& arguments) {
  std::vector<const char*> argv{program};
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe(out) != 0) return {};
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 2);
    ::close(out[0]);
    ::execv(program, const_cast<char* const*>(argv.data()));
    ::_exit(127);
  }
  ::close(out[1]);
  ChildEnd end;
  char buffer[256];
  ssize_t n;
  while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) end.output.append(buffer, static_cast<size_t>(n));
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  end.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  end.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return end;
}

}  // namespace notes::testing
