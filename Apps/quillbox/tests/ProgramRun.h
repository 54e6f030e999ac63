// For tests of the whole program: runs the built quillbox as a separate
// process on a device directory, with a script given as text, and keeps
// its exit status and what it printed on each stream.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace quillbox::testing
