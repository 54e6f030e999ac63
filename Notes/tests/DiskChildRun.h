// Runs the disk child (tests/disk_child) on a small file system of its own:
// a tmpfs of 3 MiB at a mount point in the test's temporary directory,
// mounted in a private mount namespace, so that it goes when the last child
// ends and nothing outside sees it. Needs root (as CI has).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Notes/tests/NotesTestBundle.h"

namespace notes::testing {

// False where no file system can be mounted (not root, no namespaces).
inline bool canMountSmallDisk() {
  return ::geteuid() == 0 && std::system("unshare --mount --propagation private true 2>/dev/null") == 0;
}

// One step of a run: the child with ACTION ("=== ACTION" printed first), or
// a shell command on the mounted file system, "$0" being its mount point.
struct DiskStep {
  std::string action;
  std::string shell;
};
inline DiskStep child(const std::string& action) { return {action, ""}; }
inline DiskStep shell(const std::string& command) { return {"", command}; }

// Runs the steps in order, each after the last succeeded; all output, and
// whether all ran.
inline bool runOnSmallDisk(const std::string& mountPoint, const std::vector<DiskStep>& steps, std::string* output) {
  std::string script = "mount -t tmpfs -o size=3m,mode=0700 tmpfs \"$0\" || exit 3";
  for (const auto& step : steps) {
    if (step.action.empty()) script += " && " + step.shell;
    else script += " && echo \"=== " + step.action + "\" && \"$1\" \"$0/device\" \"$2\" " + step.action;
  }
  const std::string bundle = sourceBundlePath();
  const char* args[] = {"unshare", "--mount", "--propagation", "private", "sh", "-c", script.c_str(),
                        mountPoint.c_str(), NOTES_DISK_CHILD, bundle.c_str(), nullptr};
  int out[2];
  if (::pipe(out) != 0) return false;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    ::close(out[0]);
    ::execvp("unshare", const_cast<char* const*>(args));
    ::_exit(127);
  }
  ::close(out[1]);
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) output->append(buffer, static_cast<size_t>(n));
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace notes::testing
