// For tests: boots a fresh device in a new temporary directory and removes
// the directory again when it goes out of scope. Use one per test case.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "Platform/Foundation/Device.h"

namespace ns::testing {

class TemporaryDevice {
 public:
  explicit TemporaryDevice(const DeviceFacts& facts = {}) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillbox-device-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    directory_ = pattern;
    Device& device = Device::boot(directory_);
    if (!(facts == DeviceFacts{})) device.setFacts(facts);
  }
  ~TemporaryDevice() {
    std::error_code ec;
    std::filesystem::remove_all(directory_, ec);
  }
  TemporaryDevice(const TemporaryDevice&) = delete;
  TemporaryDevice& operator=(const TemporaryDevice&) = delete;

  const std::string& directory() const { return directory_; }
  Device& device() const { return Device::current(); }
  // A path below the device directory.
  std::string path(const std::string& relative) const { return directory_ + "/" + relative; }

 private:
  std::string directory_;
};

}  // namespace ns::testing
