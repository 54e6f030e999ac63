// For font tests: a temporary directory holding copies of chosen DejaVu font
// files (installed by scripts/install-deps), so that a catalogue made from
// it knows exactly which faces each family has. A file this machine lacks
// is named by missing(); fixtures assert in SetUp that nothing is missing,
// so a test that needs a face fails instead of being skipped.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <initializer_list>
#include <string>

namespace ui::testing {

class FontFiles {
 public:
  static constexpr const char* kDejaVuDirectory = "/usr/share/fonts/truetype/dejavu";

  explicit FontFiles(std::initializer_list<const char*> files) {
    char pattern[] = "/tmp/fonts-XXXXXX";
    if (const char* made = ::mkdtemp(pattern)) directory_ = made;
    for (const char* file : files) {
      std::error_code ec;
      std::filesystem::copy_file(std::filesystem::path(kDejaVuDirectory) / file, directory_ / file, ec);
      if (ec) missing_ += std::string(missing_.empty() ? "" : ", ") + file;
    }
  }
  ~FontFiles() {
    std::error_code ec;
    if (!directory_.empty()) std::filesystem::remove_all(directory_, ec);
  }
  FontFiles(const FontFiles&) = delete;
  FontFiles& operator=(const FontFiles&) = delete;

  std::string directory() const { return directory_.string(); }
  // The files that could not be copied, comma-separated; empty when all were.
  const std::string& missing() const { return missing_; }

  // For a fixture's SetUp: ASSERT_NO_FATAL_FAILURE(fonts->expectComplete()).
  void expectComplete() const {
    ASSERT_TRUE(missing_.empty()) << "font files missing from " << kDejaVuDirectory << ": " << missing_
                                  << " (scripts/install-deps installs them)";
  }

 private:
  std::filesystem::path directory_;
  std::string missing_;
};

}  // namespace ui::testing
