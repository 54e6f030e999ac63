// For the crash reporter's tests: a fresh device per test, files read and
// written whole, and the host's command-line tools run on them.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace dvcr_testing {

class CrashReporterTest : public ::testing::Test {
 protected:
  void SetUp() override { device_ = std::make_unique<ns::testing::TemporaryDevice>(); }

  std::string path(const std::string& relative) const { return device_->path(relative); }

  static std::string readAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static void writeAll(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }
  static uint64_t sizeOf(const std::string& file) {
    struct stat info;
    return ::stat(file.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
  }
  // Runs a shell command; fails the test unless it exits with 0.
  static std::string run(const std::string& command) {
    int status = 0;
    std::string out = ns::testing::runCommand(command, &status);
    EXPECT_EQ(status, 0) << command << "\n" << out;
    return out;
  }

  std::unique_ptr<ns::testing::TemporaryDevice> device_;
};

}  // namespace dvcr_testing
