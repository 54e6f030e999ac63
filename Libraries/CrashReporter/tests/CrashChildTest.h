// For the crash tests: runs the crash child (tests/crash_child/main.cc) on
// this test's device, waits for it, and reads what it left in its report
// folder and beside the device.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"

namespace dvcr_testing {

struct ChildOptions {
  rlim_t stackLimit = 0;  // the main thread's stack limit; 0 leaves it
};

class CrashChildTest : public CrashReporterTest {
 protected:
  // The child's wait status.
  int runChild(const std::vector<std::string>& arguments, const ChildOptions& options = {}) {
    std::vector<std::string> all{DVCR_CRASH_CHILD, device_->directory()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
      if (options.stackLimit != 0) {
        struct rlimit limit = {options.stackLimit, options.stackLimit};
        setrlimit(RLIMIT_STACK, &limit);
      }
      int devNull = open("/dev/null", O_WRONLY);
      dup2(devNull, STDERR_FILENO);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    for (;;) {
      if (waitpid(child, &status, 0) != child) return -1;
      if (!WIFSTOPPED(status)) return status;
      // A child that made this process its tracer stops at each signal;
      // hand the signal on.
      int signal = WSTOPSIG(status) == SIGTRAP ? 0 : WSTOPSIG(status);
      ptrace(PTRACE_CONT, child, nullptr, reinterpret_cast<void*>(static_cast<intptr_t>(signal)));
    }
  }

  std::string reportFolder() const {
    DVCRFileManager fileManager;
    return fileManager.activePath() + "/crash-child-execution";
  }
  std::string reportFile(const std::string& name) const { return reportFolder() + "/" + name; }
  bool exists(const std::string& file) const { return ::access(file.c_str(), F_OK) == 0; }

  std::vector<ns::Value> sections(const std::string& name) const {
    auto read = DVCRFileReadSections(reportFile(name).c_str(), false);
    return read ? *read : std::vector<ns::Value>{};
  }
  // The value of the first line whose section is `name`, or null.
  static const ns::Value* section(const std::vector<ns::Value>& lines, const std::string& name) {
    for (const auto& line : lines) {
      if (const ns::Value* found = line.find(name)) return found;
    }
    return nullptr;
  }

  // The numbers of a side file, one a line.
  std::vector<uint64_t> sideNumbers(const std::string& name) const {
    std::vector<uint64_t> numbers;
    std::istringstream in(readAll(path(name)));
    for (uint64_t value; in >> value;) numbers.push_back(value);
    return numbers;
  }

  // Every line of every record file is a JSON object with one key.
  void expectOneKeyJSONLines() {
    run("python3 -c '\nimport glob, json, sys\nfiles = glob.glob(sys.argv[1] + \"/*.dvrecord\")\nassert files\n"
        "for f in files:\n  for line in open(f):\n    v = json.loads(line)\n    assert isinstance(v, dict) and "
        "len(v) == 1, (f, line)\n' '" +
        reportFolder() + "'");
  }
};

}  // namespace dvcr_testing
