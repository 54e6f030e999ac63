// Digests and fingerprints agree with the system's md5sum.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "Libraries/Measurement/Core/MSRNSDataAdditions.h"

namespace {

std::string md5sumOf(const std::string& bytes) {
  auto path = std::filesystem::temp_directory_path() / ("msr-md5-" + std::to_string(getpid()));
  std::ofstream(path, std::ios::binary) << bytes;
  std::string command = "md5sum '" + path.string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  char hex[33] = {};
  EXPECT_EQ(std::fread(hex, 1, 32, pipe), 32u);
  pclose(pipe);
  std::filesystem::remove(path);
  return hex;
}

TEST(MSRNSDataAdditionsTest, DigestsMatchMd5sum) {
  for (std::string text : {std::string(), std::string("Quillbox"), std::string("caf\xc3\xa9 \xe2\x82\xac"),
                           std::string(1000, 'x')}) {
    std::string expected = md5sumOf(text);
    EXPECT_EQ(msr_MD5String(text), expected) << text;
    // The fingerprint is digest bytes 8 to 15, big-endian.
    uint64_t low = std::stoull(expected.substr(16), nullptr, 16);
    EXPECT_EQ(msr_64LSBMD5(ns::Data(text.begin(), text.end())), static_cast<int64_t>(low)) << text;
  }
  EXPECT_EQ(msr_MD5String("bad \xff byte"), std::nullopt);
}

TEST(MSRNSDataAdditionsTest, LeastSignificantBitsAreTheLastEightBytesBigEndian) {
  EXPECT_EQ(msr_64LeastSignificantBits(ns::Data{}), 0);
  EXPECT_EQ(msr_64LeastSignificantBits(ns::Data{0x01, 0x02, 0x03}), 0x010203);
  EXPECT_EQ(msr_64LeastSignificantBits(ns::Data{0x80, 0, 0, 0, 0, 0, 0, 0x01}), INT64_MIN + 1);
  EXPECT_EQ(msr_64LeastSignificantBits(ns::Data{0xaa, 0xbb, 1, 2, 3, 4, 5, 6, 7, 8}), 0x0102030405060708);
}

}  // namespace
