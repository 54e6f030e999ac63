// Traditional encryption written and read back: every key state the cipher
// runs through (the tests also run under the sanitizers' build, where an
// overflow in the stream byte would be reported).
#include <gtest/gtest.h>

#include <random>

#include "Libraries/Archive/VLZipArchive.h"
#include "Libraries/Archive/VLZipCrypto.h"
#include "Libraries/Archive/tests/ZipTestSupport.h"

namespace {

using ziptest::readFile;

class VLZipEncryptionTest : public ziptest::ZipTest {};

TEST_F(VLZipEncryptionTest, EncryptedEntriesRoundTripByteForByte) {
  std::mt19937 random(18);
  auto bytes = [&](size_t n, bool compressible) {
    ns::Data data(n);
    for (auto& b : data) b = static_cast<uint8_t>(compressible ? "abc \n"[random() % 5] : random());
    return data;
  };
  struct Case {
    std::string password;
    size_t size;
    int level;
    bool compressible;
  };
  const Case cases[] = {
      {"p", 0, -1, true},
      {"s3cret", 1, 0, false},
      {"\xC3\xBCn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9", 4095, -1, true},
      {std::string("\x01\xFF\x80 nul\0inside", 14), 4096, 0, false},
      {std::string(300, 'k'), 4097, 9, false},
      {"last", 70000, -1, true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const Case& c = cases[i];
    const ns::Data stored = bytes(c.size, c.compressible);
    const std::string archive = path("locked" + std::to_string(i) + ".zip");
    {
      VLZipArchive zip(archive);
      ASSERT_TRUE(zip.open());
      ASSERT_TRUE(zip.writeData(stored, "entry", c.level, c.password, false));
      ASSERT_TRUE(zip.close());
    }
    ns::Error error;
    ASSERT_TRUE(VLZipArchive::unzipFileAtPath(archive, path("out"), true, c.password, &error))
        << error.description();
    EXPECT_TRUE(readFile(path("out/entry")) == std::string(stored.begin(), stored.end()));
    EXPECT_FALSE(VLZipArchive::unzipFileAtPath(archive, path("wrong"), true, c.password + "x", &error));
  }
  // Decryption undoes encryption over a long run of key states.
  VLZipCrypto writer("key"), reader("key");
  ns::Data plain = bytes(1 << 16, false), cipher = plain;
  writer.encrypt(cipher.data(), cipher.size());
  EXPECT_NE(cipher, plain);
  reader.decrypt(cipher.data(), cipher.size());
  EXPECT_EQ(cipher, plain);
}

}  // namespace
