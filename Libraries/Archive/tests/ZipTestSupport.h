// Shared by the zip tests: a fresh device per case (in New York's zone, so
// that local DOS times differ from UTC), a scratch directory, and second
// readers run as child processes (python3's zipfile, unzip, zip).
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Libraries/Archive/VLZipArchive.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace ziptest {

namespace fs = std::filesystem;

inline std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs `command` through the shell; returns its exit status and stdout.
inline int run(const std::string& command, std::string* output = nullptr) {
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = pclose(p);
  if (output) *output = out;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline void writeFile(const std::string& path, const std::string& contents) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << contents;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// An archive of one entry "x.txt" encrypted with `password`.
inline void writeLockedArchive(const std::string& path, const std::string& password) {
  VLZipArchive locked(path);
  ASSERT_TRUE(locked.open());
  ASSERT_TRUE(locked.writeData(ns::Data{'x'}, "x.txt", password));
  ASSERT_TRUE(locked.close());
}

inline unsigned modeOf(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return 0xFFFFFFFF;
  return st.st_mode & 07777;
}

inline double mtimeOf(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return -1;
  return static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9;
}

inline void setMtime(const std::string& path, double unixSeconds) {
  struct timespec times[2] = {{static_cast<time_t>(unixSeconds), 0}, {static_cast<time_t>(unixSeconds), 0}};
  utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

class ZipTest : public ::testing::Test {
 protected:
  static ns::DeviceFacts newYork() {
    ns::DeviceFacts facts;
    facts.timeZoneName = "America/New_York";
    return facts;
  }

  ZipTest() : device_(newYork()) {
    root_ = device_.path("scratch");
    fs::create_directories(root_);
  }

  // Runs a python3 program with the scratch directory as its working
  // directory; sys.argv[1:] = args. Returns the exit status.
  int python(const std::string& program, const std::vector<std::string>& args = {}, std::string* output = nullptr) {
    std::string script = root_ + "/.script.py";
    writeFile(script, program);
    std::string cmd = "cd " + shellQuote(root_) + " && /usr/bin/python3 " + shellQuote(script);
    for (const auto& a : args) cmd += " " + shellQuote(a);
    int status = run(cmd, output);
    fs::remove(script);
    return status;
  }

  std::string path(const std::string& relative) const { return root_ + "/" + relative; }

  // Every path below `dir`, relative, sorted; links not followed.
  static std::vector<std::string> tree(const std::string& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator(); ++it)
      out.push_back(it->path().lexically_relative(dir).string());
    std::sort(out.begin(), out.end());
    return out;
  }

  ns::testing::TemporaryDevice device_;
  std::string root_;
};

}  // namespace ziptest
