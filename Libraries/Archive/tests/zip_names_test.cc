#include <gtest/gtest.h>

#include "Libraries/Archive/VLZipArchive.h"
#include "Libraries/Archive/VLZipEntryNames.h"
#include "Libraries/Archive/tests/ZipTestSupport.h"
#include "Platform/Foundation/Device.h"

namespace {

TEST(VLZipNamesTest, SanitizedPathNeverLeavesTheStart) {
  struct Case {
    const char* in;
    const char* out;
    bool climbsOut;  // what the sanitizing mended
  };
  const Case cases[] = {
      {"a/b.txt", "a/b.txt", false},
      {"../../etc/x", "etc/x", true},
      {"a/b/../c", "a/c", false},
      {"/etc/passwd", "etc/passwd", true},
      {"//server/share/f", "server/share/f", true},
      {"a\\b.txt", "a/b.txt", false},
      {"..\\..\\win.ini", "win.ini", true},
      {"./a/./b", "a/b", false},
      {"dir/", "dir/", false},
      {"../", "", true},
      {"../..", "", true},
      {"a/../..", "", true},
      {"a/../b", "b", false},
      {"a//b", "a/b", false},
      {"name%41?#", "name%41?#", false},
      {"", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VLZipArchive::sanitizedPath(c.in), c.out) << c.in;
    EXPECT_EQ(VLZipEntryNames::climbsOutOfTree(c.in), c.climbsOut) << c.in;
  }
  // Whatever follows a NUL is not part of the name.
  EXPECT_EQ(VLZipArchive::sanitizedPath(std::string("ok.txt\0/../../x", 15)), "ok.txt");
}

TEST(VLZipNamesTest, NamesDecodeByMakerAndFlag) {
  struct Case {
    const char* what;
    std::string bytes;
    uint16_t versionMadeBy;
    uint16_t flag;
    std::string expected;
  };
  const Case cases[] = {
      {"DOS without UTF-8 flag is code page 437", "caf\x82.txt", 0x0014, 0, "caf\xC3\xA9.txt"},
      {"DOS box drawing", "\xC9\xCD\xBB", 0x0000, 0, "\xE2\x95\x94\xE2\x95\x90\xE2\x95\x97"},
      {"DOS with UTF-8 flag", "caf\xC3\xA9.txt", 0x0014, 0x0800, "caf\xC3\xA9.txt"},
      {"Unix maker is UTF-8", "\xC3\xBC.txt", 0x0314, 0, "\xC3\xBC.txt"},
      {"OS X maker is UTF-8", "\xE2\x82\xAC", 0x1300, 0x0800, "\xE2\x82\xAC"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(VLZipArchive::filenameStringWithCString(c.bytes.data(), c.versionMadeBy, c.flag, c.bytes.size()),
              c.expected)
        << c.what;
  // Bytes that are no UTF-8 still give valid text, never a raw byte.
  std::string latin = "gr\xFC\xDF" "e.txt";
  std::string decoded = VLZipArchive::filenameStringWithCString(latin.data(), 0x0314, 0, latin.size());
  EXPECT_FALSE(decoded.empty());
  EXPECT_EQ(decoded.find('\xFC'), std::string::npos) << decoded;
}

TEST(VLZipNamesTest, HexAndBase64) {
  struct Case {
    ns::Data in;
    const char* hex;
    const char* base64;
  };
  const Case cases[] = {
      {{}, "", ""},
      {{0x00, 0xAB, 0xFF}, "00ABFF", "AKv_"},
      {{0xFB, 0xFF}, "FBFF", "-_8="},
      {{'a'}, "61", "YQ=="},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VLZipArchive::hexString(c.in), c.hex);
    EXPECT_EQ(VLZipArchive::base64RFC4648(c.in), c.base64);
  }
}

class VLZipDatesTest : public ziptest::ZipTest {};

TEST_F(VLZipDatesTest, DosDatesAreLocalTime) {
  struct Case {
    uint32_t dos;
    const char* utc;  // the same instant in UTC
  };
  const Case cases[] = {
      // year 0, month 1, day 1, time 0: 1980-01-01 00:00:00 in New York (EST)
      {(0u << 25) | (1u << 21) | (1u << 16), "1980-01-01 05:00:00 +0000"},
      // 2023-07-14 13:45:30 (EDT); seconds are stored halved
      {(43u << 25) | (7u << 21) | (14u << 16) | (13u << 11) | (45u << 5) | 15u, "2023-07-14 17:45:30 +0000"},
      // month 0 and day 0 roll back as the calendar does: 1999-12-31 00:00 (EST)
      {(20u << 25) | (1u << 21) | (0u << 16), "1999-12-31 05:00:00 +0000"},
  };
  for (const auto& c : cases) EXPECT_EQ(VLZipArchive::dateWithMSDOSFormat(c.dos).description(), c.utc);

  // Writing takes the calendar fields in the same zone.
  zip_fileinfo info{};
  VLZipArchive::zipInfoSetDate(&info, ns::Date::fromUnixTime(1689356731));  // 2023-07-14 17:45:31 UTC
  EXPECT_EQ(info.tmz_date.tm_year, 123u);
  EXPECT_EQ(info.tmz_date.tm_mon, 6u);
  EXPECT_EQ(info.tmz_date.tm_mday, 14u);
  EXPECT_EQ(info.tmz_date.tm_hour, 13u);
  EXPECT_EQ(info.tmz_date.tm_min, 45u);
  EXPECT_EQ(info.tmz_date.tm_sec, 31u);
}

TEST_F(VLZipDatesTest, DatesOutsideTheFormatAreClamped) {
  zip_fileinfo info{};
  VLZipArchive::zipInfoSetDate(&info, ns::Date::fromUnixTime(0));  // 1969 in New York
  EXPECT_EQ(info.tmz_date.tm_year, 80u);
  EXPECT_EQ(info.tmz_date.tm_mon, 0u);
  EXPECT_EQ(info.tmz_date.tm_mday, 1u);
  VLZipArchive::zipInfoSetDate(&info, ns::Date::fromUnixTime(5000000000.0));  // 2128
  EXPECT_EQ(info.tmz_date.tm_year, 207u);
  EXPECT_EQ(info.tmz_date.tm_mon, 11u);
  EXPECT_EQ(info.tmz_date.tm_mday, 31u);
}

}  // namespace
