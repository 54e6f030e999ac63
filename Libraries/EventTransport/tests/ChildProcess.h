// For the kill -9 tests: starts a child and waits for its one-byte "ready",
// so its start-up time (loading the platform libraries) does not eat the
// random moments at which it is killed. A reporting child goes on saying,
// one byte each, what it has done (an event stored, an upload finished), so
// a test kills it after a number of those, whatever the machine's speed.
#pragma once

#include <gtest/gtest.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <string>
#include <vector>

extern char** environ;

namespace ztcor_testing {

// The child's pid, or -1 when it could not be started.
inline pid_t spawnReadyChild(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ready[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, ready[0]);
  pid_t pid = -1;
  int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(ready[1]);
  char byte;
  if (spawned == 0) (void)::read(ready[0], &byte, 1);  // end of file when the child failed first
  ::close(ready[0]);
  return spawned == 0 ? pid : -1;
}

// Kills the child with SIGKILL after `micros` and reaps it; fails when it
// had already ended on its own.
inline ::testing::AssertionResult killAfter(pid_t pid, unsigned micros) {
  std::this_thread::sleep_for(std::chrono::microseconds(micros));
  if (::kill(pid, SIGKILL) != 0) return ::testing::AssertionFailure() << "kill failed";
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return ::testing::AssertionFailure() << "waitpid failed";
  if (!WIFSIGNALED(status)) return ::testing::AssertionFailure() << "the child ended on its own with status " << status;
  return ::testing::AssertionSuccess();
}

// A started child whose reports the test reads; killed and reaped by kill().
class ReportingChild {
 public:
  explicit ReportingChild(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int reports[2];
    if (::pipe2(reports, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, reports[1], STDOUT_FILENO);
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(reports[1]);
    reports_ = reports[0];
    if (pid_ > 0 && !awaitReports(1)) ready_ = false;
  }
  ~ReportingChild() {
    if (pid_ > 0) (void)kill();
    if (reports_ >= 0) ::close(reports_);
  }
  ReportingChild(const ReportingChild&) = delete;
  ReportingChild& operator=(const ReportingChild&) = delete;

  // Started and said it is ready.
  bool started() const { return pid_ > 0 && ready_; }
  pid_t pid() const { return pid_; }

  // Reads `count` more one-byte reports; false when the child ended first.
  bool awaitReports(int count) {
    char bytes[256];
    while (count > 0) {
      ssize_t got = ::read(reports_, bytes, std::min<size_t>(sizeof bytes, static_cast<size_t>(count)));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      count -= static_cast<int>(got);
    }
    return true;
  }

  // SIGKILL now, then reaps it; fails when it had already ended on its own.
  ::testing::AssertionResult kill() {
    pid_t pid = pid_;
    pid_ = -1;
    if (pid <= 0) return ::testing::AssertionFailure() << "no child";
    if (::kill(pid, SIGKILL) != 0) return ::testing::AssertionFailure() << "kill failed";
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return ::testing::AssertionFailure() << "waitpid failed";
    if (!WIFSIGNALED(status)) return ::testing::AssertionFailure() << "the child ended on its own with status " << status;
    return ::testing::AssertionSuccess();
  }

 private:
  pid_t pid_ = -1;
  int reports_ = -1;
  bool ready_ = true;
};

}  // namespace ztcor_testing
