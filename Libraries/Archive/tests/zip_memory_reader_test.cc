#include <gtest/gtest.h>

#include <map>

#include "Libraries/Archive/VLZipArchive.h"
#include "Libraries/Archive/VLZipMemoryReader.h"
#include "Libraries/Archive/tests/ZipTestSupport.h"

namespace {

namespace fs = std::filesystem;
using ziptest::writeFile;

class VLZipMemoryReaderTest : public ziptest::ZipTest {
 protected:
  // Every entry as "path|kind|content", kind d (directory), l (link), f.
  std::vector<std::string> readAll(const std::string& archive, ns::Error* error) {
    auto reader = VLZipMemoryReader::open(archive, VLZipExtractionLimits{}, error);
    if (!reader) return {"(not opened)"};
    std::vector<std::string> out;
    for (const auto& entry : reader->entries()) {
      auto data = reader->read(entry, error);
      if (!data) return {"(not read) " + entry.path};
      out.push_back(entry.path + "|" + (entry.isDirectory ? "d" : entry.isSymlink ? "l" : "f") + "|" +
                    std::string(data->begin(), data->end()));
    }
    return out;
  }
};

TEST_F(VLZipMemoryReaderTest, EntriesAreReadAsAnExtractionWouldNameThem) {
  std::string out;
  ASSERT_EQ(python(R"(
import sys, stat, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('folder/', b'')
    z.writestr('folder/note.txt', b'hello ' * 1000)
    z.writestr('../../climb.txt', b'up')
    z.writestr('__MACOSX/._note.txt', b'resource fork')
    i = zipfile.ZipInfo('folder/link'); i.create_system = 3
    i.external_attr = (stat.S_IFLNK | 0o777) << 16
    z.writestr(i, b'../../etc/passwd')
    z.writestr('..', b'only dots')
)",
                   {path("a.zip")}, &out),
            0)
      << out;
  ns::Error error;
  EXPECT_EQ(readAll(path("a.zip"), &error),
            (std::vector<std::string>{"folder|d|", "folder/note.txt|f|" + [] {
                                        std::string s;
                                        for (int i = 0; i < 1000; ++i) s += "hello ";
                                        return s;
                                      }(),
                                      "climb.txt|f|up", "folder/link|l|../../etc/passwd", "5|f|only dots"}))
      << error.description();
  EXPECT_TRUE(tree(root_) == (std::vector<std::string>{"a.zip"})) << "nothing is written";

  // An archive without entries, as zipping an empty directory writes it.
  fs::create_directories(path("empty"));
  ASSERT_TRUE(VLZipArchive::createZipFileAtPath(path("empty.zip"), path("empty")));
  EXPECT_EQ(readAll(path("empty.zip"), &error), std::vector<std::string>{});
}

TEST_F(VLZipMemoryReaderTest, FailuresCarryTheirCodes) {
  writeFile(path("garbage.zip"), "no archive here");
  ASSERT_EQ(python("import sys, zipfile\nwith zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                   "    for k in range(20): z.writestr('f%d' % k, b'x' * 100)\n",
                   {path("twenty.zip")}),
            0);
  // Three entries whose central records all point at one local entry: one
  // stream that would be inflated three times.
  ASSERT_EQ(python(R"(
import struct, sys, zlib
raw = b'x' * 100
c = zlib.compressobj(9, zlib.DEFLATED, -15); comp = c.compress(raw) + c.flush()
local = struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 8, 0, 0x21, zlib.crc32(raw), len(comp), len(raw), 1, 0) + b'a' + comp
central = b''.join(struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 0x031e, 20, 0, 8, 0, 0x21, zlib.crc32(raw), len(comp),
                               len(raw), 1, 0, 0, 0, 0, 0o100644 << 16, 0) + n for n in (b'a', b'b', b'c'))
end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 3, 3, len(central), len(local), 0)
open(sys.argv[1], 'wb').write(local + central + end)
)",
                   {path("shared.zip")}),
            0);
  ziptest::writeLockedArchive(path("locked.zip"), "secret");
  struct Case {
    const char* what;
    std::string archive;
    VLZipExtractionLimits limits;
    bool opens;
    int64_t code;
  };
  const Case cases[] = {
      {"not an archive", path("garbage.zip"), {}, false, VLZipArchiveErrorCodeFailedOpenZipFile},
      {"too many entries", path("twenty.zip"), {1u << 20, 19}, false, VLZipArchiveErrorCodeLimitExceeded},
      {"too many bytes", path("twenty.zip"), {1999, 100}, false, VLZipArchiveErrorCodeLimitExceeded},
      {"one entry too large", path("twenty.zip"), {1u << 20, 100, 99}, false, VLZipArchiveErrorCodeLimitExceeded},
      {"just fits", path("twenty.zip"), {2000, 20, 100}, true, 0},
      {"entries that share data", path("shared.zip"), {}, false, VLZipArchiveErrorCodeLimitExceeded},
      {"encrypted", path("locked.zip"), {}, true, VLZipArchiveErrorCodeFailedOpenFileInZip},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Error error;
    auto reader = VLZipMemoryReader::open(c.archive, c.limits, &error);
    ASSERT_EQ(bool(reader), c.opens) << error.description();
    if (!reader) {
      EXPECT_EQ(error.domain(), kVLZipArchiveErrorDomain);
      EXPECT_EQ(error.code(), c.code);
      continue;
    }
    bool allRead = true;
    for (const auto& entry : reader->entries()) allRead = allRead && reader->read(entry, &error);
    EXPECT_EQ(allRead, c.code == 0);
    if (c.code) {
      EXPECT_EQ(error.code(), c.code);
    }
  }
}

}  // namespace
