// For the kill -9 tests: starts a child and waits for its one-byte "ready",
// so its start-up time (loading the platform libraries) does not eat the
// random moments at which it is killed.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace ztcor_testing
