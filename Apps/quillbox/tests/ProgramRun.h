// For tests of the whole program: runs the built quillbox as a separate
// process on a device directory, with a script given as text, and keeps
// its exit status and what it printed on each stream.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quillbox::testing {

struct ProgramRun {
  int exitCode = -1;  // -1 when it did not exit by itself
  int signal = 0;     // the signal that ended it, if one did
  std::string output;
  std::string errors;

  bool exitedCleanly() const { return exitCode == 0 && signal == 0; }
};

// A new, empty directory for the program's device, removed at the end. The
// test itself boots no device in it: the program does.
class DeviceDirectory {
 public:
  DeviceDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillbox-program-XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~DeviceDirectory() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  DeviceDirectory(const DeviceDirectory&) = delete;
  DeviceDirectory& operator=(const DeviceDirectory&) = delete;

  const std::string& path() const { return path_; }
  // A path below it ("App/Documents/Notes.sqlite").
  std::string path(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

inline std::string shellQuoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

inline std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Runs `quillbox --device DEVICE --script <file> ARGUMENTS...` with the
// script's text in a file beside the device directory; `interactive` gives
// the text on standard input instead, as a person types it.
inline ProgramRun runProgram(const std::string& device, const std::string& script,
                             const std::vector<std::string>& arguments = {}, bool interactive = false) {
  const std::string scriptPath = device + ".qbs", errorsPath = device + ".stderr";
  std::ofstream(scriptPath) << script;
  std::string command = shellQuoted(QUILLBOX_BINARY_DIR "/Apps/quillbox/quillbox") + " --device " + shellQuoted(device);
  if (!interactive) command += " --script " + shellQuoted(scriptPath);
  for (const auto& a : arguments) command += " " + shellQuoted(a);
  command += " 2>" + shellQuoted(errorsPath) + " <" + (interactive ? shellQuoted(scriptPath) : "/dev/null");
  ProgramRun run;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) run.output.append(buffer, n);
    int status = ::pclose(p);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    // A shell that waited for the program reports its signal as 128 + it.
    if (run.exitCode > 128) {
      run.signal = run.exitCode - 128;
      run.exitCode = -1;
    }
  }
  run.errors = readWholeFile(errorsPath);
  std::remove(scriptPath.c_str());
  std::remove(errorsPath.c_str());
  return run;
}

// The program running on a device, typed to line by line as a person
// would: a test can wait for what it does in the background (a request on
// a loopback server, a line on standard error) before typing the next
// command.
class RunningProgram {
 public:
  RunningProgram(const std::string& device, const std::vector<std::string>& arguments = {})
      : errorsPath_(device + ".stderr") {
    int input[2];
    if (::pipe2(input, O_CLOEXEC) != 0) return;
    const std::string binary = QUILLBOX_BINARY_DIR "/Apps/quillbox/quillbox";
    std::vector<std::string> words = {binary, "--device", device};
    words.insert(words.end(), arguments.begin(), arguments.end());
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(input[0], 0);
      int errors = ::open(errorsPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int nothing = ::open("/dev/null", O_WRONLY);
      ::dup2(errors, 2);
      ::dup2(nothing, 1);
      std::vector<char*> argv;
      for (auto& word : words) argv.push_back(word.data());
      argv.push_back(nullptr);
      ::execv(binary.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(input[0]);
    input_ = input[1];
  }
  ~RunningProgram() {
    if (pid_ > 0 && input_ >= 0) finish();
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  void type(const std::string& text) {
    if (input_ >= 0 && ::write(input_, text.data(), text.size()) < 0) return;
  }
  std::string errorsSoFar() const { return readWholeFile(errorsPath_); }
  // Whether `holds` comes true of standard error within a minute.
  bool waitForErrors(const std::function<bool(const std::string&)>& holds) const {
    for (int i = 0; i < 6000; ++i) {
      if (holds(errorsSoFar())) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  // Closes standard input and waits for the program to end.
  ProgramRun finish() {
    ProgramRun run;
    if (input_ >= 0) ::close(input_);
    input_ = -1;
    int status = 0;
    if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_) {
      if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
      if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    }
    pid_ = -1;
    run.errors = errorsSoFar();
    std::remove(errorsPath_.c_str());
    return run;
  }

 private:
  std::string errorsPath_;
  pid_t pid_ = -1;
  int input_ = -1;
};

}  // namespace quillbox::testing
