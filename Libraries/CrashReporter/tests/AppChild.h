// For the tests that run the app as a program (tests/app_child): the child
// and its main bundle.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "Platform/Foundation/PropertyList.h"

namespace dvcr_testing {

inline constexpr const char* kAppID = "1:123456789012:ios:0123456789abcdef";
inline constexpr const char* kAPIKey = "AQbxKyA-valid_key0123456789abcdefghijkl";

// How long the child may stay silent, or take to end once asked, before it
// is taken as hung and killed: far past what the slowest machine needs, so
// it only ends a test that has already failed instead of leaving it hanging.
inline constexpr int kAppChildPatienceSeconds = 300;

// A running app child (tests/app_child): its output read line by line.
// With `shortStack`, its stack limit is 1 MiB (overflows come sooner) and
// it dumps no core. A child that hangs fails the test and is killed.
class AppChild {
 public:
  explicit AppChild(const std::vector<std::string>& arguments, bool shortStack = false) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    std::vector<std::string> all{DVCR_APP_CHILD};
    all.insert(all.end(), arguments.begin(), arguments.end());
    pid_ = ::fork();
    if (pid_ == 0) {
      if (shortStack) {
        struct rlimit stack = {1 << 20, 1 << 20}, core = {0, 0};
        ::setrlimit(RLIMIT_STACK, &stack);
        ::setrlimit(RLIMIT_CORE, &core);
      }
      ::dup2(out[1], STDOUT_FILENO);
      std::vector<char*> argv;
      for (auto& argument : all) argv.push_back(argument.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    output_ = out[0];
  }
  ~AppChild() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      wait();
    }
    if (output_ >= 0) ::close(output_);
  }
  AppChild(const AppChild&) = delete;
  AppChild& operator=(const AppChild&) = delete;

  // The next line, or "" at the end.
  std::string readLine() {
    for (;;) {
      size_t newline = buffered_.find('\n');
      if (newline != std::string::npos) {
        std::string line = buffered_.substr(0, newline);
        buffered_.erase(0, newline + 1);
        return line;
      }
      if (output_ < 0 || ended_) return std::exchange(buffered_, std::string());
      if (!ready(output_, "printed nothing more")) {
        ended_ = true;
        continue;
      }
      char chunk[4096];
      ssize_t length = ::read(output_, chunk, sizeof chunk);
      if (length < 0 && errno == EINTR) continue;
      if (length <= 0) {
        ended_ = true;
      } else {
        buffered_.append(chunk, static_cast<size_t>(length));
      }
    }
  }
  std::vector<std::string> remainingLines() {
    std::vector<std::string> lines;
    for (std::string line = readLine(); !line.empty(); line = readLine()) lines.push_back(line);
    return lines;
  }
  void signal(int number) { ::kill(pid_, number); }
  int wait() {
    if (pid_ <= 0 || status_ >= 0) return status_;
    int process = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    if (process >= 0) {
      ready(process, "did not end");
      ::close(process);
    }
    ::waitpid(pid_, &status_, 0);
    return status_;
  }

 private:
  // Waits until `fd` can be read; past the patience, fails the test, kills
  // the child and says false.
  bool ready(int fd, const char* what) {
    pollfd wanted{fd, POLLIN, 0};
    int answered;
    do {
      answered = ::poll(&wanted, 1, kAppChildPatienceSeconds * 1000);
    } while (answered < 0 && errno == EINTR);
    if (answered != 0) return true;
    ADD_FAILURE() << "the app child " << what << " in " << kAppChildPatienceSeconds << " s: it hangs, and is killed";
    ::kill(pid_, SIGKILL);
    return false;
  }

  pid_t pid_ = -1;
  int status_ = -1;
  int output_ = -1;
  std::string buffered_;
  bool ended_ = false;
};

// The main bundle in `bundle`: Info.plist with the upload address of
// target 1002, and the options file.
inline void writeAppBundle(const std::string& bundle, const std::string& uploadURL, bool collectionEnabled,
                           bool legacyKey = false) {
  std::filesystem::create_directories(bundle);
  ns::Dictionary info{{"CFBundleIdentifier", "com.tavrix.Quillbox"},
                      {"CFBundleVersion", "42"},
                      {"CFBundleShortVersionString", "3.1"},
                      {"DozaveveDodevadarudCollectionEnabled", collectionEnabled},
                      {"ZTCORUploadEndpoints", ns::Dictionary{{"1002", uploadURL}, {"APIKey", kAPIKey}}}};
  if (legacyKey) info.set("dozaveve_dodevadarud_collection_enabled", true);
  ns::Error error;
  ASSERT_TRUE(ns::writePropertyListFile(info, bundle + "/Info.plist", ns::PropertyListFormat::XML, &error));
  ns::Dictionary options{{"ZORORI_APP_ID", kAppID},
                         {"API_KEY", kAPIKey},
                         {"ZCM_SENDER_ID", "123456789012"},
                         {"PROJECT_ID", "quillbox-test"},
                         {"BUNDLE_ID", "com.tavrix.Quillbox"}};
  ASSERT_TRUE(
      ns::writePropertyListFile(options, bundle + "/ZororiService-Info.plist", ns::PropertyListFormat::XML, &error));
}

}  // namespace dvcr_testing
