// Helpers shared by the UIKit tests: temporary directories, a small real
// PNG, running a second program.
#pragma once

#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "Platform/Foundation/Value.h"

namespace ui::testing {

// A fresh directory under /tmp, removed with the object.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/uikit-test-XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A valid 2x3 RGB PNG image.
inline ns::Data smallPNG() {
  return {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
          0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x08, 0x02, 0x00, 0x00, 0x00, 0x36,
          0x88, 0x49, 0xd6, 0x00, 0x00, 0x00, 0x11, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8,
          0xcf, 0xc0, 0x00, 0x44, 0x60, 0x02, 0x4e, 0x03, 0x00, 0x3e, 0xd6, 0x05, 0xfb, 0x58, 0x82,
          0xcf, 0x46, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
}

// Standard output of a shell command; empty when it cannot run.
inline std::string commandOutput(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> buffer;
  while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) out.append(buffer.data(), n);
  ::pclose(pipe);
  return out;
}

inline std::string fixturePath(const std::string& name) {
  return std::string(QUILLBOX_SOURCE_DIR) + "/Platform/UIKit/tests/fixtures/" + name;
}

}  // namespace ui::testing
