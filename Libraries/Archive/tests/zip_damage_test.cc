// Archives that are damaged, or whose entries cannot all be written: what
// is read is never taken for what was stored, and one bad entry does not
// cost the others.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Libraries/Archive/VLZipArchive.h"
#include "Libraries/Archive/VLZipMemoryReader.h"
#include "Libraries/Archive/tests/ZipTestSupport.h"
#include "Platform/SystemLog/SystemLog.h"

namespace {

namespace fs = std::filesystem;
using ziptest::readFile;
using ziptest::writeFile;

class VLZipDamageTest : public ziptest::ZipTest {
 protected:
  void makeArchive(const std::string& archive, const std::string& entries) {
    std::string out;
    ASSERT_EQ(python("import sys, zipfile\nwith zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n" +
                         entries,
                     {archive}, &out),
              0)
        << out;
  }
};

uint32_t le(const std::string& bytes, size_t at, int size) {
  uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

// Every single-bit flip of an entry's compressed data either fails the read
// or gives back exactly the stored text: the inflater may stop early without
// complaint, but the entry's size and CRC are always compared.
TEST_F(VLZipDamageTest, FlippedBitsAreNeverTakenForTheStoredText) {
  const std::string text = [] {
    std::string t;
    for (int i = 0; i < 12; ++i) t += "Budget \xC3\xBCn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 " + std::to_string(i * 37) + "\n";
    return t;
  }();
  writeFile(path("note.txt"), text);
  makeArchive(path("good.zip"), "    z.write('note.txt')\n");
  const std::string good = readFile(path("good.zip"));
  // The local header: sizes at 18, name and extra lengths at 26 and 28.
  const size_t dataStart = 30 + le(good, 26, 2) + le(good, 28, 2);
  const size_t dataSize = le(good, 18, 4);
  ASSERT_GT(dataSize, 20u);

  int refused = 0, intact = 0;
  for (size_t bit = 0; bit < dataSize * 8; ++bit) {
    std::string damaged = good;
    damaged[dataStart + bit / 8] = static_cast<char>(damaged[dataStart + bit / 8] ^ (1 << (bit % 8)));
    const std::string archive = path("damaged.zip"), dest = path("out");
    writeFile(archive, damaged);
    fs::remove_all(dest);

    ns::Error error;
    const bool extracted = VLZipArchive::unzipFileAtPath(archive, dest, true, std::nullopt, &error);
    if (extracted) {
      ASSERT_EQ(readFile(dest + "/note.txt"), text) << "bit " << bit;
      ++intact;
    } else {
      ++refused;
    }
    auto reader = VLZipMemoryReader::open(archive, VLZipExtractionLimits{}, &error);
    ASSERT_TRUE(reader);
    auto read = reader->read(reader->entries().at(0), &error);
    if (read) {
      EXPECT_EQ(std::string(read->begin(), read->end()), text) << "bit " << bit;
    } else {
      EXPECT_FALSE(extracted) << "bit " << bit << ": extraction and reading disagree";
      EXPECT_TRUE(error.code() == -3 || error.code() == -4) << error.description();
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_EQ(refused + intact, static_cast<int>(dataSize * 8));
}

TEST_F(VLZipDamageTest, DataEndingEarlyIsACrcError) {
  // The deflate stream ends after "short" although the header declares
  // more: the inflater sees a complete stream, the size check does not.
  ASSERT_EQ(python(R"(
import sys, struct, zlib, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('a.txt', b'short and then some more')
data = bytearray(open(sys.argv[1], 'rb').read())
c = zlib.compressobj(6, zlib.DEFLATED, -15)
early = c.compress(b'short') + c.flush()
n = struct.unpack('<H', data[26:28])[0] + struct.unpack('<H', data[28:30])[0]
size = struct.unpack('<I', data[18:22])[0]
data[30 + n:30 + n + len(early)] = early
open(sys.argv[1], 'wb').write(bytes(data))
)",
                   {path("early.zip")}),
            0);
  ns::Error error;
  EXPECT_FALSE(VLZipArchive::unzipFileAtPath(path("early.zip"), path("dest"), true, std::nullopt, &error));
  EXPECT_EQ(error.localizedDescription(), "crc check failed for file");
  auto reader = VLZipMemoryReader::open(path("early.zip"), VLZipExtractionLimits{}, &error);
  ASSERT_TRUE(reader);
  EXPECT_FALSE(reader->read(reader->entries().at(0), &error));
  EXPECT_EQ(error.localizedDescription(), "crc check failed for file");
  std::string out;
  EXPECT_NE(ziptest::run("unzip -t " + ziptest::shellQuote(path("early.zip")), &out), 0) << out;
}

TEST_F(VLZipDamageTest, EntriesThatCannotBeWrittenAreSkipped) {
  makeArchive(path("mixed.zip"),
              "    z.writestr('first.txt', b'1')\n"
              "    z.writestr('x' * 300 + '.txt', b'long name')\n"
              "    z.writestr('deep/' + 'y' * 300 + '/f.txt', b'long folder')\n"
              "    z.writestr('a', b'a file')\n"
              "    z.writestr('a/b', b'below a file')\n"
              "    z.writestr('last.txt', b'2')\n");
  std::vector<std::string> logged;
  systemlog::Log::setSinkForTesting([&](int, const std::string& line) { logged.push_back(line); });
  std::vector<std::string> handled;
  ns::Error error;
  const bool ok = VLZipArchive::unzipFileAtPath(
      path("mixed.zip"), path("dest"), true, true, 0, std::nullopt, &error, nullptr,
      [&](const std::string& name, const unz_file_info64&, long, long) { handled.push_back(name); }, nullptr);
  systemlog::Log::setSinkForTesting(nullptr);

  EXPECT_TRUE(ok) << error.description();
  EXPECT_EQ(readFile(path("dest/first.txt")), "1");
  EXPECT_EQ(readFile(path("dest/last.txt")), "2");
  EXPECT_EQ(readFile(path("dest/a")), "a file");
  EXPECT_EQ(tree(path("dest")), (std::vector<std::string>{"a", "deep", "first.txt", "last.txt"}));
  EXPECT_EQ(handled.size(), 6u) << "every entry is handled, written or not";
  std::string log;
  for (const auto& line : logged) log += line + "\n";
  EXPECT_NE(log.find("File name too long"), std::string::npos) << log;
  EXPECT_NE(log.find("Not a directory"), std::string::npos) << log;
  EXPECT_EQ(log.find("outside the destination"), std::string::npos) << log;
}

// Only a full disk or too many open files stop an extraction. The second
// is made real in a child process whose descriptor limit leaves room for
// the archive and nothing more.
TEST_F(VLZipDamageTest, TooManyOpenFilesStopsTheExtraction) {
  makeArchive(path("two.zip"), "    z.writestr('one.txt', b'1')\n    z.writestr('two.txt', b'2')\n");
  const std::string archive = path("two.zip"), dest = path("dest");
  fs::create_directories(dest);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int lowest = dup(0);
    close(lowest);
    struct rlimit limit = {static_cast<rlim_t>(lowest + 1), static_cast<rlim_t>(lowest + 1)};
    setrlimit(RLIMIT_NOFILE, &limit);
    ns::Error error;
    bool ok = VLZipArchive::unzipFileAtPath(archive, dest, true, std::nullopt, &error);
    _exit(!ok && error.domain() == ns::kPOSIXErrorDomain && error.code() == EMFILE ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(tree(dest).empty());
}

}  // namespace
