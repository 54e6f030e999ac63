// Helpers for tests of log files: a temporary device with a logs directory,
// a manager that remembers what it was told, and waiting for background work.
#pragma once

#include <chrono>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "Libraries/Logging/LKLogFileManagerDefault.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

// A manager that records its archive notifications.
class RecordingFileManager : public LKLogFileManagerDefault {
 public:
  using LKLogFileManagerDefault::LKLogFileManagerDefault;
  void didArchiveLogFile(const std::string& path, bool wasRolled) override {
    std::lock_guard lock(mutex_);
    archived_.push_back({path, wasRolled});
  }
  std::vector<std::pair<std::string, bool>> archived() {
    std::lock_guard lock(mutex_);
    return archived_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<std::string, bool>> archived_;
};

// Polls `condition` for up to two seconds (background work of other threads).
template <class F>
bool eventually(F condition) {
  for (int i = 0; i < 2000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}
