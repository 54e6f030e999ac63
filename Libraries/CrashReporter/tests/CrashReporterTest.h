// For the crash reporter's tests: a fresh device per test, files read and
// written whole, and the host's command-line tools run on them.
#pragma once

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

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

// A copy of some bytes that ends right where an inaccessible page begins:
// reading one byte past them crashes the test.
class GuardedBuffer {
 public:
  GuardedBuffer(const uint8_t* bytes, size_t length) {
    size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    total_ = ((length + page - 1) / page + 1) * page;
    base_ = static_cast<uint8_t*>(::mmap(nullptr, total_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ::mprotect(base_ + total_ - page, page, PROT_NONE);
    data_ = base_ + total_ - page - length;
    if (length != 0) memcpy(data_, bytes, length);
  }
  explicit GuardedBuffer(const std::vector<uint8_t>& bytes) : GuardedBuffer(bytes.data(), bytes.size()) {}
  ~GuardedBuffer() { ::munmap(base_, total_); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;
  uint8_t* data() const { return data_; }

 private:
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
  size_t total_ = 0;
};

}  // namespace dvcr_testing
