// Where the benchmarks keep their files: one scratch directory for the
// run and fresh devices inside it, so each measured file starts empty.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "Platform/Foundation/Device.h"

namespace bench {

// A fresh directory under the system's temporary one, made on first use;
// the program removes it at its end.
inline std::string scratchDirectory(const char* prefix) {
  static std::string dir = [prefix] {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + ".XXXXXX")).string();
    return std::string(mkdtemp(pattern.data()));
  }();
  return dir;
}

// Boots a new device in the scratch directory; its path.
inline std::string bootFreshDevice(const char* prefix) {
  static int counter = 0;
  std::string path = scratchDirectory(prefix) + "/device" + std::to_string(counter++);
  std::filesystem::create_directories(path);
  ns::Device::boot(path);
  return path;
}

}  // namespace bench
