// For the storage tests: a fresh device per case, the measurement monitor's
// messages recorded, and the sqlite3 and plistutil programs as second
// readers of what the store wrote.
#pragma once

#include <gtest/gtest.h>
#include <spawn.h>
#include <stdio.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/testing/MSRMonitorTesting.h"
#include "Libraries/Measurement/Storage/MSRFileLocations.h"
#include "Libraries/Measurement/Storage/MSRSqliteStore.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Libraries/TelemetryFoundation/testing/ZULLoggerTesting.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/SystemLog/LegacyLogStore.h"

extern char** environ;

namespace msr_testing {

inline std::string shellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs `command` through the shell; its exit status, and its standard
// output in *output.
inline int run(const std::string& command, std::string* output = nullptr) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int status = ::pclose(pipe);
  if (output) *output = out;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts a child program (a test child of the library) and returns its
// pid, with its standard output at *output (a pipe the caller reads and
// closes); -1 when it could not be started.
inline pid_t spawnChild(const std::vector<std::string>& arguments, int* output) {
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int pipe[2];
  if (::pipe(pipe) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe[0]);
  pid_t pid = -1;
  int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe[1]);
  if (spawned != 0) {
    ::close(pipe[0]);
    return -1;
  }
  *output = pipe[0];
  return pid;
}

// Reads one line (without its newline); "" at the end of the output.
inline std::string readLine(int fd) {
  std::string line;
  char c;
  while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

// Runs a child that prints "stored <n>" after each commit and kills it
// with SIGKILL `delayMicroseconds` after its `reports`th such line (and
// after `beforeKill`, when given, has returned), so the kill falls at
// varying points of the work that follows; adds every number it printed,
// before and after the kill, to `reported`.
inline void runStoringChildAndKill(const std::vector<std::string>& arguments, int reports, int delayMicroseconds,
                                   const std::function<void()>& beforeKill, std::set<int64_t>* reported) {
  int output = -1;
  pid_t pid = spawnChild(arguments, &output);
  ASSERT_GT(pid, 0);
  std::string line;
  int seen = 0;
  while (seen < reports && !(line = readLine(output)).empty()) {
    if (line.rfind("stored ", 0) == 0) {
      reported->insert(std::stoll(line.substr(7)));
      ++seen;
    }
  }
  if (beforeKill) beforeKill();
  ::usleep(delayMicroseconds);
  ::kill(pid, SIGKILL);
  // What it printed before it died was committed too.
  std::string rest;
  while (!(line = readLine(output)).empty()) {
    if (line.rfind("stored ", 0) == 0) reported->insert(std::stoll(line.substr(7)));
    rest += line + "\n";
  }
  ::close(output);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_EQ(seen, reports) << "the child ended early: " << line << rest;
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status << " " << rest;
}

// sqlite3's answer to `sql` on the file: rows on lines, columns joined by
// "|", the last newline removed. Errors are part of the answer.
inline std::string sqlite(const std::string& path, const std::string& sql) {
  std::string out;
  run("sqlite3 -batch " + shellQuoted(path) + " " + shellQuoted(sql) + " 2>&1", &out);
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// The property list's XML as plistutil prints it.
inline std::string plistutil(const std::string& path) {
  std::string out;
  EXPECT_EQ(run("plistutil -i " + shellQuoted(path) + " -f xml 2>&1", &out), 0) << out;
  return out;
}

// What plistutil read from the file, parsed back; none when it could not.
inline std::optional<ns::Dictionary> plistutilDictionary(const std::string& path) {
  std::string out;
  if (run("plistutil -i " + shellQuoted(path) + " -f xml 2>/dev/null", &out) != 0) return std::nullopt;
  auto value = ns::propertyListFromData(ns::Data(out.begin(), out.end()), nullptr);
  if (!value || !value->isDictionary()) return std::nullopt;
  return *value->asDictionary();
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

inline void writeFile(const std::string& path, const std::string& contents) {
  ns::FileManager::defaultManager().createDirectory(
      ns::URL::fileURLWithPath(path).deletingLastPathComponent().path(), true);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

// The measurement monitor's messages while it lives.
class MonitorRecorder {
 public:
  MonitorRecorder() {
    MSRMonitorSetObserverForTesting([this](const MSRMonitorMessage& message) {
      std::lock_guard lock(mutex_);
      messages_.push_back(message);
    });
  }
  ~MonitorRecorder() { MSRMonitorSetObserverForTesting({}); }
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  std::vector<MSRMonitorMessage> messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<int64_t> codes() const {
    std::vector<int64_t> out;
    for (const auto& message : messages()) out.push_back(message.code);
    return out;
  }
  bool contains(int64_t code) const {
    auto all = codes();
    return std::find(all.begin(), all.end(), code) != all.end();
  }
  void clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<MSRMonitorMessage> messages_;
};

// The utilities logger's lines so far ("Level" and "Message" of each).
inline std::vector<systemlog::LegacyMessage> loggerLines() {
  MSRMonitorWaitForTesting();
  return systemlog::LegacyLogStore::shared().search(
      {{"Facility", systemlog::LegacyCondition::Op::Equal, kZULLoggerFacility}});
}

inline std::string contextOf(const ns::Error& error) {
  const ns::Value* context = error.userInfo().find(kMSRMonitorContextKey);
  return context ? context->stringValue() : std::string();
}

// An error with the measurement domain's shape, for EXPECT_EQ on failures.
inline std::string describe(const ns::Error& error) {
  return error.domain() + " " + std::to_string(error.code()) + " \"" + error.localizedDescription() + "\"";
}
inline std::string measurementError(int64_t code, const std::string& description) {
  return describe(msr_errorWithCode(code, description));
}

class StorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZULLoggerResetForTesting();
    systemlog::LegacyLogStore::shared().clear();
  }
  void TearDown() override { ZULLoggerResetForTesting(); }

  // The database file the store of `name` keeps.
  static std::string databasePath(const std::string& name = "test.sql") { return MSRApplicationSupportFilePath(name); }

  std::shared_ptr<MSRSqliteStore> openStore(const std::string& name = "test.sql") {
    ns::Error error;
    auto store = MSRSqliteStore::initWithDatabasePath(databasePath(name), &error);
    EXPECT_NE(store, nullptr) << error.description();
    return store;
  }

  // Opens the store of "test.sql" as store_, its file at path_, with a
  // first table made from `columns` (none when empty).
  void openTestStore(const std::string& table = {}, const MSRColumnInfo& columns = {}) {
    store_ = openStore();
    ASSERT_NE(store_, nullptr);
    path_ = store_->databasePath();
    if (table.empty()) return;
    ns::Error error;
    ASSERT_TRUE(store_->ensureTableWithName(table, columns, {}, &error)) << error.description();
  }

  ns::testing::TemporaryDevice device_;
  MonitorRecorder monitor_;
  std::shared_ptr<MSRSqliteStore> store_;
  std::string path_;
};

}  // namespace msr_testing
