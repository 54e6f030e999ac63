#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "Libraries/Archive/VLZipArchive.h"
#include "Libraries/Archive/tests/ZipTestSupport.h"

namespace {

namespace fs = std::filesystem;
using ziptest::readFile;
using ziptest::writeFile;

// Builds sys.argv[1] from the statements of a case; add() writes one entry.
constexpr const char* kPrelude = R"(
import sys, stat, struct, zipfile, zlib
def info(name, mode=0o644, link=False, system=3, method=zipfile.ZIP_DEFLATED):
    i = zipfile.ZipInfo(name, date_time=(2020, 1, 2, 3, 4, 6))
    i.create_system = system
    i.external_attr = ((stat.S_IFLNK | 0o777) if link else (stat.S_IFREG | mode)) << 16
    i.compress_type = method
    return i
def add(z, name, data=b"", **kw):
    z.writestr(info(name, **kw), data)
out = sys.argv[1]
with zipfile.ZipFile(out, "w") as z:
)";

// Statements run after the archive is closed (patching its bytes).
std::string program(const std::string& body, const std::string& after = "") {
  std::string p = kPrelude;
  std::stringstream ss(body);
  for (std::string line; std::getline(ss, line);) p += "    " + line + "\n";
  return p + after + "\n";
}

class VLZipHostileTest : public ziptest::ZipTest {
 protected:
  void TearDown() override { VLZipArchive::setExtractionLimits(VLZipExtractionLimits{}); }

  // Everything under the scratch directory but the destination's contents.
  std::vector<std::string> outsideDestination() {
    std::vector<std::string> out;
    for (const auto& p : tree(root_))
      if (p != "dest" && p.rfind("dest/", 0) != 0) out.push_back(p);
    return out;
  }
};

struct HostileCase {
  const char* what;
  std::string body;   // python statements adding entries
  std::string after;  // python statements patching the written archive
  std::function<void(const std::string& root)> setup;
  bool succeeds;
  int64_t code;  // expected error code when it fails (0: any, or none)
  std::function<void(const std::string& dest)> check;
};

TEST_F(VLZipHostileTest, HostileArchivesNeverWriteOutsideTheDestination) {
  const std::vector<HostileCase> cases = {
      {"parent segments are dropped", "add(z, '../../evil.txt', b'x')", "", nullptr, true, 0,
       [](const std::string& d) { EXPECT_EQ(readFile(d + "/evil.txt"), "x"); }},
      {"absolute names become relative", "add(z, '/abs/evil.txt', b'x')", "", nullptr, true, 0,
       [](const std::string& d) { EXPECT_EQ(readFile(d + "/abs/evil.txt"), "x"); }},
      {"backslash parent segments", "add(z, '..\\\\..\\\\evil.txt', b'x', system=0)", "", nullptr, true, 0,
       [](const std::string& d) { EXPECT_EQ(readFile(d + "/evil.txt"), "x"); }},
      {"a name of parent segments only becomes the index", "add(z, 'ok.txt', b'a')\nadd(z, '../..', b'x')", "",
       nullptr, true, 0, [](const std::string& d) { EXPECT_EQ(readFile(d + "/1"), "x"); }},
      {"link to an absolute path", "add(z, 'escape', b'/etc', link=True)", "", nullptr, false,
       VLZipArchiveErrorCodeUnsafeEntry, [](const std::string& d) { EXPECT_FALSE(fs::is_symlink(d + "/escape")); }},
      {"link climbing out", "add(z, 'sub/up', b'../../outside', link=True)", "", nullptr, false,
       VLZipArchiveErrorCodeUnsafeEntry, [](const std::string& d) { EXPECT_FALSE(fs::is_symlink(d + "/sub/up")); }},
      {"link climbing after a name", "add(z, 'here', b'.', link=True)\nadd(z, 'l', b'here/../..', link=True)", "",
       nullptr, false, VLZipArchiveErrorCodeUnsafeEntry,
       [](const std::string& d) { EXPECT_FALSE(fs::is_symlink(d + "/l")); }},
      {"link and write through it", "add(z, 'out', b'..', link=True)\nadd(z, 'out/evil.txt', b'x')", "", nullptr,
       false, VLZipArchiveErrorCodeUnsafeEntry, nullptr},
      {"links that stay inside are made",
       "add(z, 'sub/real/f.txt', b'f')\nadd(z, 'sub/back', b'../sub/real', link=True)\n"
       "add(z, 'sub/back/g.txt', b'g')",
       "", nullptr, true, 0,
       [](const std::string& d) {
         EXPECT_EQ(fs::read_symlink(d + "/sub/back"), "../sub/real");
         EXPECT_EQ(readFile(d + "/sub/real/g.txt"), "g");
       }},
      {"existing link in the destination leading out", "add(z, 'pre/evil.txt', b'x')", "",
       [](const std::string& root) {
         fs::create_directories(root + "/outside");
         fs::create_directories(root + "/dest");
         fs::create_directory_symlink("../outside", root + "/dest/pre");
       },
       false, VLZipArchiveErrorCodeUnsafeEntry, nullptr},
      {"existing link where a file goes is replaced, not followed", "add(z, 'file.txt', b'new')", "",
       [](const std::string& root) {
         writeFile(root + "/victim.txt", "old");
         fs::create_directories(root + "/dest");
         fs::create_symlink("../victim.txt", root + "/dest/file.txt");
       },
       true, 0,
       [](const std::string& d) {
         EXPECT_FALSE(fs::is_symlink(d + "/file.txt"));
         EXPECT_EQ(readFile(d + "/file.txt"), "new");
         EXPECT_EQ(readFile(d + "/../victim.txt"), "old");
       }},
      {"set-id and sticky bits are dropped, owner keeps read and write",
       "add(z, 'suid', b'x', mode=0o4777)\nadd(z, 'sgid', b'x', mode=0o2755)\nadd(z, 'sticky', b'x', mode=0o1644)\n"
       "add(z, 'none', b'x', mode=0)",
       "", nullptr, true, 0,
       [](const std::string& d) {
         EXPECT_EQ(ziptest::modeOf(d + "/suid"), 0777u);
         EXPECT_EQ(ziptest::modeOf(d + "/sgid"), 0755u);
         EXPECT_EQ(ziptest::modeOf(d + "/sticky"), 0644u);
         EXPECT_EQ(ziptest::modeOf(d + "/none"), 0600u);
       }},
      {"flipped CRC byte", "add(z, 'a.txt', b'hello', method=zipfile.ZIP_STORED)",
       "data = open(out, 'rb').read()\ncrc = struct.pack('<I', zlib.crc32(b'hello'))\n"
       "bad = bytes([crc[0] ^ 0x40]) + crc[1:]\nopen(out, 'wb').write(data.replace(crc, bad))",
       nullptr, false, VLZipArchiveErrorCodeFileInfoNotLoadable,
       [](const std::string& d) { EXPECT_EQ(readFile(d + "/a.txt"), "hello"); }},
      {"damaged compressed data",
       "add(z, 'a.txt', bytes(range(256)) * 64)",
       "data = bytearray(open(out, 'rb').read())\n"
       "for k in range(60, 90): data[k] ^= 0x5A\nopen(out, 'wb').write(bytes(data))",
       nullptr, false, 0, nullptr},
  };

  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root_);
    fs::create_directories(root_);
    const std::string archive = path("evil.zip");
    std::string out;
    ASSERT_EQ(python(program(c.body, c.after), {archive}, &out), 0) << out;
    if (c.setup) c.setup(root_);
    const auto before = outsideDestination();

    ns::Error error;
    std::optional<ns::Error> completionError;
    bool completed = false;
    bool ok = VLZipArchive::unzipFileAtPath(archive, path("dest"), true, true, 0, std::nullopt, &error, nullptr,
                                            nullptr, [&](const auto&, bool, const std::optional<ns::Error>& e) {
                                              completed = true;
                                              completionError = e;
                                            });
    EXPECT_EQ(ok, c.succeeds) << error.description();
    EXPECT_TRUE(completed);
    if (!c.succeeds && c.code != 0) {
      EXPECT_EQ(error.domain(), kVLZipArchiveErrorDomain);
      EXPECT_EQ(error.code(), c.code) << error.description();
      EXPECT_EQ(completionError.value_or(ns::Error()).code(), c.code);
    }
    EXPECT_EQ(outsideDestination(), before) << "something was written outside the destination";
    if (c.check) c.check(path("dest"));
  }
}

TEST_F(VLZipHostileTest, CrcErrorCarriesItsText) {
  ASSERT_EQ(python(program("add(z, 'a.txt', b'hello', method=zipfile.ZIP_STORED)",
                           "data = open(out, 'rb').read()\ncrc = struct.pack('<I', zlib.crc32(b'hello'))\n"
                           "open(out, 'wb').write(data.replace(crc, bytes([crc[0] ^ 1]) + crc[1:]))"),
                   {path("crc.zip")}),
            0);
  ns::Error error;
  EXPECT_FALSE(VLZipArchive::unzipFileAtPath(path("crc.zip"), path("dest"), true, std::nullopt, &error));
  EXPECT_EQ(error.localizedDescription(), "crc check failed for file");
  EXPECT_EQ(error.code(), -3);
}

TEST_F(VLZipHostileTest, ZipBombsStopAtTheLimits) {
  // 64 MiB of zeros deflate to about 64 KiB.
  ASSERT_EQ(python(program("add(z, 'bomb.bin', bytes(64 << 20))"), {path("bomb.zip")}), 0);
  ASSERT_LT(fs::file_size(path("bomb.zip")), 1u << 20);
  ASSERT_EQ(python(program("for k in range(30): add(z, 'f%d' % k, b'x')"), {path("many.zip")}), 0);

  struct Case {
    const char* what;
    const char* archive;
    VLZipExtractionLimits limits;
  };
  const Case cases[] = {
      {"bytes", "bomb.zip", {8u << 20, 1000}},
      {"entries", "many.zip", {1u << 30, 10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    VLZipArchive::setExtractionLimits(c.limits);
    const std::string dest = path(std::string("dest-") + c.what);
    ns::Error error;
    EXPECT_FALSE(VLZipArchive::unzipFileAtPath(path(c.archive), dest, true, std::nullopt, &error));
    EXPECT_EQ(error.code(), VLZipArchiveErrorCodeLimitExceeded);
    // What the archive declares is refused before anything is written.
    EXPECT_FALSE(fs::exists(dest));
  }
  // With the generous defaults both extract.
  VLZipArchive::setExtractionLimits(VLZipExtractionLimits{});
  EXPECT_TRUE(VLZipArchive::unzipFileAtPath(path("many.zip"), path("dest-default")));
}

}  // namespace

namespace {

// Entries that declare their sizes in a zip64 field: one of 5 GiB with a few
// bytes of data, and an overlapping bomb of 130 entries sharing one stream
// of 64 MiB of zeros (8.1 GiB declared in about 70 KB).
constexpr const char* kDeclaredSizes = R"(
import struct, sys, zlib
def central_of(entries):
    central = b''
    for name, size, comp, crc, offset in entries:
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 0x031e, 45, 0, 8, 0, 0x21, crc,
                               comp, size, len(name), 0, 0, 0, 0, 0o100644 << 16, offset) + name
    return central
kind = sys.argv[2]
if kind == 'zip64':
    raw = b'a few bytes'
    c = zlib.compressobj(9, zlib.DEFLATED, -15); comp = c.compress(raw) + c.flush()
    extra = struct.pack('<HHQQ', 1, 16, 5 << 30, len(comp))
    local = struct.pack('<IHHHHHIIIHH', 0x04034b50, 45, 0, 8, 0, 0x21, zlib.crc32(raw), 0xFFFFFFFF, 0xFFFFFFFF,
                        7, len(extra)) + b'big.bin' + extra + comp
    central = struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 0x031e, 45, 0, 8, 0, 0x21, zlib.crc32(raw),
                          0xFFFFFFFF, 0xFFFFFFFF, 7, len(extra), 0, 0, 0, 0o100644 << 16, 0) + b'big.bin' + extra
    count = 1
else:
    raw = bytes(64 << 20)
    c = zlib.compressobj(9, zlib.DEFLATED, -15); comp = c.compress(raw) + c.flush()
    crc = zlib.crc32(raw)
    local = struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 8, 0, 0x21, crc, len(comp), len(raw), 3, 0) + b'000' + comp
    count = 130
    central = central_of([(('%03d' % i).encode(), len(raw), len(comp), crc, 0) for i in range(count)])
end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, count, count, len(central), len(local), 0)
open(sys.argv[1], 'wb').write(local + central + end)
)";

TEST_F(VLZipHostileTest, DeclaredSizesPastTheLimitsAreRefusedBeforeWriting) {
  ASSERT_EQ(python(kDeclaredSizes, {path("zip64.zip"), "zip64"}), 0);
  ASSERT_EQ(python(kDeclaredSizes, {path("overlap.zip"), "overlap"}), 0);
  ASSERT_LT(fs::file_size(path("overlap.zip")), 100u << 10);
  // The zip64 size is the one read, not its 32-bit marker.
  ns::Error error;
  EXPECT_EQ(VLZipArchive::payloadSizeForArchiveAtPath(path("zip64.zip"), &error), 5ull << 30);
  EXPECT_EQ(VLZipArchive::payloadSizeForArchiveAtPath(path("overlap.zip"), &error), 130ull * (64 << 20));

  for (const char* archive : {"zip64.zip", "overlap.zip"}) {
    SCOPED_TRACE(archive);
    const std::string dest = path(std::string("dest-") + archive);
    ns::Error failure;
    EXPECT_FALSE(VLZipArchive::unzipFileAtPath(path(archive), dest, true, std::nullopt, &failure));
    EXPECT_EQ(failure.code(), VLZipArchiveErrorCodeLimitExceeded) << failure.description();
    EXPECT_FALSE(fs::exists(dest));
  }
  // An entry under the total but over the size minizip reads right.
  VLZipArchive::setExtractionLimits({16ull << 30, 1000});
  EXPECT_FALSE(VLZipArchive::unzipFileAtPath(path("zip64.zip"), path("dest"), true, std::nullopt, &error));
  EXPECT_EQ(error.code(), VLZipArchiveErrorCodeLimitExceeded);
}

}  // namespace
