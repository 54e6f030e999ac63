// For the tests that run the app as a program (tests/app_child): the child
// and its main bundle.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Platform/Foundation/PropertyList.h"

namespace dvcr_testing {

inline constexpr const char* kAppID = "1:123456789012:ios:0123456789abcdef";
inline constexpr const char* kAPIKey = "AQbxKyA-valid_key0123456789abcdefghijkl";

// A running app child (tests/app_child): its output read line by line.
// With `shortStack`, its stack limit is 1 MiB (overflows come sooner) and
// it dumps no core.
class AppChild {
 public:
  explicit AppChild(const std::vector<std::string>& arguments, bool shortStack = false) {
    int out[2];
    if (::pipe(out) != 0) return;
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
      ::close(out[0]);
      std::vector<char*> argv;
      for (auto& argument : all) argv.push_back(argument.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    output_ = ::fdopen(out[0], "r");
  }
  ~AppChild() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      wait();
    }
    if (output_) ::fclose(output_);
  }

  // The next line, or "" at the end.
  std::string readLine() {
    char buffer[4096];
    if (!output_ || !std::fgets(buffer, sizeof buffer, output_)) return "";
    std::string line(buffer);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }
  std::vector<std::string> remainingLines() {
    std::vector<std::string> lines;
    for (std::string line = readLine(); !line.empty(); line = readLine()) lines.push_back(line);
    return lines;
  }
  void signal(int number) { ::kill(pid_, number); }
  int wait() {
    if (status_ < 0) ::waitpid(pid_, &status_, 0);
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  FILE* output_ = nullptr;
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
