#include <gtest/gtest.h>
#include <unistd.h>

#include "Libraries/Archive/VLZipArchive.h"
#include "Libraries/Archive/tests/ZipTestSupport.h"
#include "Platform/SystemLog/SystemLog.h"

namespace {

using ziptest::readFile;
using ziptest::run;
using ziptest::shellQuote;
using ziptest::setMtime;
using ziptest::writeFile;
namespace fs = std::filesystem;

// Lists an archive as python's zipfile sees it, one entry per line:
// name|utf8 flag|mode (octal)|create system|y-m-d h:m:s|size
constexpr const char* kListArchive = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for i in z.infolist():
        print("%s|%d|%o|%d|%04d-%02d-%02d %02d:%02d:%02d|%d" % ((i.filename, (i.flag_bits >> 11) & 1,
              i.external_attr >> 16, i.create_system) + i.date_time + (i.file_size,)))
)";

class VLZipCreateTest : public ziptest::ZipTest {
 protected:
  std::vector<std::string> list(const std::string& archive) {
    std::string out;
    EXPECT_EQ(python(kListArchive, {archive}, &out), 0) << out;
    std::vector<std::string> lines;
    std::stringstream ss(out);
    for (std::string line; std::getline(ss, line);) lines.push_back(line);
    return lines;
  }
  // unzip shows names in its locale's charset, so it reads every archive
  // under a UTF-8 and a plain ASCII locale, whatever the caller's is.
  void expectUnzipTestPasses(const std::string& archive, const std::string& password = "") {
    for (const char* locale : {"C.UTF-8", "C"}) {
      std::string out;
      std::string cmd = std::string("LC_ALL=") + locale + " unzip -t " +
                        (password.empty() ? "" : "-P " + shellQuote(password) + " ") + shellQuote(archive);
      EXPECT_EQ(run(cmd, &out), 0) << locale << ": " << out;
    }
  }
};

TEST_F(VLZipCreateTest, DirectoryArchivePassesSecondReaders) {
  const std::string dir = path("notes");
  writeFile(dir + "/a.txt", "first note");
  writeFile(dir + "/.hidden", "h");
  writeFile(dir + "/sub/b.bin", std::string(100000, 'x'));
  writeFile(dir + "/\xC3\xBCmlaut \xE2\x82\xAC.txt", "u");
  std::filesystem::create_directories(dir + "/empty");
  chmod((dir + "/a.txt").c_str(), 0644);
  chmod((dir + "/sub/b.bin").c_str(), 0750);
  chmod((dir + "/.hidden").c_str(), 0600);
  chmod((dir + "/\xC3\xBCmlaut \xE2\x82\xAC.txt").c_str(), 0644);
  // 2023-07-14 17:45:31 UTC is 13:45:31 in New York; DOS keeps even seconds.
  for (const char* f : {"/a.txt", "/.hidden", "/sub/b.bin", "/\xC3\xBCmlaut \xE2\x82\xAC.txt"})
    ziptest::setMtime(dir + f, 1689356731);
  ziptest::setMtime(dir + "/empty", 1689356731);
  chmod((dir + "/empty").c_str(), 0755);

  const std::string archive = path("backup.zip");
  unsigned long calls = 0, lastTotal = 0;
  ASSERT_TRUE(VLZipArchive::createZipFileAtPath(archive, dir, false, std::nullopt, [&](unsigned long n, unsigned long total) {
    EXPECT_EQ(n, ++calls);
    lastTotal = total;
  }));
  EXPECT_EQ(calls, 6u);  // every item, "sub" itself included
  EXPECT_EQ(lastTotal, 6u);
  expectUnzipTestPasses(archive);
  std::vector<std::string> expected = {
      ".hidden|1|100600|19|2023-07-14 13:45:30|1",
      "a.txt|1|100644|19|2023-07-14 13:45:30|10",
      "empty/|1|100755|19|2023-07-14 13:45:30|0",
      "sub/b.bin|1|100750|19|2023-07-14 13:45:30|100000",
      "\xC3\xBCmlaut \xE2\x82\xAC.txt|1|100644|19|2023-07-14 13:45:30|1",
  };
  EXPECT_EQ(list(archive), expected);

  // And back: the same tree, dates to the even second, modes kept.
  const std::string out = path("restored");
  ASSERT_TRUE(VLZipArchive::unzipFileAtPath(archive, out));
  EXPECT_EQ(readFile(out + "/sub/b.bin"), std::string(100000, 'x'));
  EXPECT_EQ(ziptest::modeOf(out + "/sub/b.bin"), 0750u);
  EXPECT_EQ(ziptest::mtimeOf(out + "/a.txt"), 1689356730.0);
  EXPECT_EQ(ziptest::mtimeOf(out + "/empty"), 1689356730.0);
  EXPECT_TRUE(std::filesystem::is_directory(out + "/empty"));
}

TEST_F(VLZipCreateTest, EmptyDirectoryWithAndWithoutParent) {
  const std::string dir = path("Empty Folder");
  std::filesystem::create_directories(dir);
  struct Case {
    bool keepParent;
    std::vector<std::string> names;
  };
  for (const auto& c : std::vector<Case>{{false, {}}, {true, {"Empty Folder/"}}}) {
    const std::string archive = path(c.keepParent ? "with.zip" : "without.zip");
    ASSERT_TRUE(VLZipArchive::createZipFileAtPath(archive, dir, c.keepParent));
    std::vector<std::string> names;
    for (const auto& line : list(archive)) names.push_back(line.substr(0, line.find('|')));
    EXPECT_EQ(names, c.names) << c.keepParent;
  }
  // A non-empty folder with its parent: every name carries the prefix.
  writeFile(dir + "/n.txt", "x");
  ASSERT_TRUE(VLZipArchive::createZipFileAtPath(path("full.zip"), dir, true));
  auto lines = list(path("full.zip"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(0, lines[0].find('|')), "Empty Folder/n.txt");
}

TEST_F(VLZipCreateTest, ArchiveInsideTheDirectoryIsLeftOut) {
  const std::string dir = path("d");
  writeFile(dir + "/a.txt", "a");
  writeFile(dir + "/b.txt", "b");
  const std::string archive = dir + "/self.zip";
  writeFile(archive, "stale");  // listed by the walk
  std::vector<std::string> logged;
  systemlog::Log::setSinkForTesting([&](int, const std::string& line) { logged.push_back(line); });
  int calls = 0;
  ASSERT_TRUE(VLZipArchive::createZipFileAtPath(archive, dir, false, std::nullopt,
                                                [&](unsigned long, unsigned long total) {
                                                  ++calls;
                                                  EXPECT_EQ(total, 3u);
                                                }));
  systemlog::Log::setSinkForTesting(nullptr);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(logged, std::vector<std::string>{"[VLZipArchive] the archive path and the file path: " + archive +
                                             " are the same, which is forbidden."});
  EXPECT_EQ(list(archive).size(), 2u);
  expectUnzipTestPasses(archive);
  // Also when links are kept.
  ASSERT_TRUE(VLZipArchive::createZipFileAtPath(archive, dir, false, -1, std::nullopt, true, nullptr, true));
  EXPECT_EQ(list(archive).size(), 2u);
}

TEST_F(VLZipCreateTest, EncryptedEntriesOpenWithThePasswordOnly) {
  const std::string dir = path("secret");
  writeFile(dir + "/pin.txt", "1234 and some more text to deflate 1234 1234 1234");
  writeFile(dir + "/empty.txt", "");
  const std::string archive = path("locked.zip");
  // The AES flag is on in this form; traditional encryption is written.
  ASSERT_TRUE(VLZipArchive::createZipFileAtPath(archive, dir, false, std::string("s3cret")));
  expectUnzipTestPasses(archive, "s3cret");
  std::string out;
  ASSERT_EQ(python("import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\n"
                   "print(all(i.flag_bits & 1 for i in z.infolist()), z.read('pin.txt', pwd=b's3cret').decode())",
                   {archive}, &out),
            0)
      << out;
  EXPECT_EQ(out, "True 1234 and some more text to deflate 1234 1234 1234\n");

  EXPECT_TRUE(VLZipArchive::isFilePasswordProtectedAtPath(archive));
  struct Case {
    std::optional<std::string> password;
    bool valid;
  };
  for (const auto& c : std::vector<Case>{{"s3cret", true}, {"wrong", false}, {"s3cres", false}, {std::nullopt, false}}) {
    ns::Error error(kVLZipArchiveErrorDomain, 99);
    EXPECT_EQ(VLZipArchive::isPasswordValidForArchiveAtPath(archive, c.password, &error), c.valid)
        << c.password.value_or("(none)");
    EXPECT_EQ(error.domain(), "") << "a wrong password is no error";
  }

  const std::string restored = path("restored");
  ns::Error error;
  ASSERT_TRUE(VLZipArchive::unzipFileAtPath(archive, restored, true, std::string("s3cret"), &error))
      << error.description();
  EXPECT_EQ(readFile(restored + "/pin.txt"), "1234 and some more text to deflate 1234 1234 1234");
  EXPECT_FALSE(VLZipArchive::unzipFileAtPath(archive, path("wrong"), true, std::string("nope"), &error));
}

TEST_F(VLZipCreateTest, LinksAreKeptAsLinks) {
  const std::string dir = path("tree");
  writeFile(dir + "/target.txt", "t");
  ASSERT_EQ(symlink("target.txt", (dir + "/link").c_str()), 0);
  const std::string archive = path("links.zip");
  ASSERT_TRUE(VLZipArchive::createZipFileAtPath(archive, dir, false, -1, std::nullopt, false, nullptr, true));
  expectUnzipTestPasses(archive);
  auto lines = list(archive);
  ASSERT_EQ(lines.size(), 2u);
  // A Unix link entry: no UTF-8 flag, link mode, made by Unix (3).
  EXPECT_EQ(lines[0].rfind("link|0|120777|3|", 0), 0u) << lines[0];

  const std::string restored = path("restored");
  ASSERT_TRUE(VLZipArchive::unzipFileAtPath(archive, restored));
  EXPECT_TRUE(std::filesystem::is_symlink(restored + "/link"));
  EXPECT_EQ(std::filesystem::read_symlink(restored + "/link"), "target.txt");

  // Without keeping links, the link is followed.
  ASSERT_TRUE(VLZipArchive::createZipFileAtPath(path("followed.zip"), dir));
  ASSERT_TRUE(VLZipArchive::unzipFileAtPath(path("followed.zip"), path("followed")));
  EXPECT_FALSE(std::filesystem::is_symlink(path("followed/link")));
  EXPECT_EQ(readFile(path("followed/link")), "t");
}

TEST_F(VLZipCreateTest, FailedReadsAndWritesFailTheResult) {
  writeFile(path("ok.txt"), "fine");
  std::filesystem::create_directories(path("a-directory"));
  struct Case {
    const char* what;
    std::string file;
    bool ok;
  };
  const std::vector<Case> cases = {
      {"readable file", path("ok.txt"), true},
      {"missing file", path("missing.txt"), false},
      {"read error inside the copy loop", path("a-directory"), false},
  };
  for (const auto& c : cases) {
    VLZipArchive zip(path("single.zip"));
    ASSERT_TRUE(zip.open());
    EXPECT_EQ(zip.writeFile(c.file, std::nullopt), c.ok) << c.what;
    EXPECT_TRUE(zip.close());
  }
  // The rest is still written.
  ASSERT_FALSE(VLZipArchive::createZipFileAtPath(path("list.zip"),
                                                 std::vector<std::string>{path("missing.txt"), path("ok.txt")}));
  EXPECT_EQ(list(path("list.zip")).size(), 1u);

  // No handle, no write.
  VLZipArchive closed(path("never.zip"));
  EXPECT_FALSE(closed.writeData(ns::Data{1, 2, 3}, "x", std::nullopt));
  EXPECT_FALSE(closed.close());
  // An archive cannot be created where there is no directory.
  EXPECT_FALSE(VLZipArchive::createZipFileAtPath(path("no/such/dir/x.zip"), std::vector<std::string>{path("ok.txt")}));
  // A directory that does not exist is no empty directory.
  EXPECT_FALSE(VLZipArchive::createZipFileAtPath(path("missing-dir.zip"), path("no-such-dir")));
}

TEST_F(VLZipCreateTest, DataEntriesAndAppending) {
  const std::string archive = path("data.zip");
  {
    VLZipArchive zip(archive);
    ASSERT_TRUE(zip.open());
    EXPECT_TRUE(zip.writeData(ns::Data{'h', 'i'}, "greeting.txt", std::nullopt));
    EXPECT_TRUE(zip.writeFolderAtPath(root_, "folder", std::nullopt));
    EXPECT_TRUE(zip.close());
  }
  {
    VLZipArchive zip(archive);
    ASSERT_TRUE(zip.openForAppending());
    EXPECT_TRUE(zip.writeData(ns::Data{'!'}, "more.txt", 0, std::nullopt, false));
    EXPECT_TRUE(zip.close());
  }
  expectUnzipTestPasses(archive);
  std::vector<std::string> names;
  for (const auto& line : list(archive)) names.push_back(line.substr(0, line.find('|')));
  EXPECT_EQ(names, (std::vector<std::string>{"greeting.txt", "folder/", "more.txt"}));
  EXPECT_EQ(VLZipArchive::payloadSizeForArchiveAtPath(archive, nullptr), 3u);
  EXPECT_FALSE(VLZipArchive::isFilePasswordProtectedAtPath(archive));
}

// Entries made in memory are the entries the same files on disk give:
// names, dates, modes, sizes and the very same deflated bytes, also when
// one compressor serves many entries in a row and the level changes.
TEST_F(VLZipCreateTest, EntriesFromMemoryMatchTheSameFilesOnDisk) {
  std::string repetitive;
  while (repetitive.size() < 200000) repetitive += "the quick brown fox " + std::to_string(repetitive.size());
  struct Case {
    std::string name;
    std::string contents;
    int level;
  };
  const std::vector<Case> cases{{"empty.txt", "", -1},
                                {"note/TXT.rtf", "{\\rtf1 hello}", -1},
                                {"big.bin", repetitive, -1},
                                {"stored.bin", repetitive.substr(0, 5000), 0},
                                {"after.txt", "back to the default level", -1}};
  const double unixDate = 1700000000.0;  // 2023-11-14, an even second
  const ns::Date date = ns::Date::fromUnixTime(unixDate);
  const std::string fromDisk = path("disk.zip"), fromMemory = path("memory.zip");
  {
    VLZipArchive disk(fromDisk), memory(fromMemory);
    ASSERT_TRUE(disk.open() && memory.open());
    for (const auto& c : cases) {
      const std::string file = path("files/" + c.name);
      writeFile(file, c.contents);
      ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
      setMtime(file, unixDate);
      EXPECT_TRUE(disk.writeFileAtPath(file, c.name, c.level, std::nullopt, false));
      EXPECT_TRUE(memory.writeData(ns::Data(c.contents.begin(), c.contents.end()), c.name, {date, 0640}, c.level));
    }
    fs::create_directories(path("files/empty"));
    ASSERT_EQ(::chmod(path("files/empty").c_str(), 0750), 0);
    setMtime(path("files/empty"), unixDate);
    EXPECT_TRUE(disk.writeFolderAtPath(path("files/empty"), "empty", std::nullopt));
    EXPECT_TRUE(memory.writeFolder("empty", {date, 0750}));
    EXPECT_TRUE(disk.close() && memory.close());
  }
  expectUnzipTestPasses(fromMemory);
  constexpr const char* kEntries = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for i in z.infolist():
        print(i.filename, i.date_time, oct(i.external_attr >> 16), i.flag_bits, i.compress_type,
              i.CRC, i.file_size, i.compress_size, z.open(i).read() == open('files/' + i.filename, 'rb').read()
              if not i.is_dir() else '')
)";
  std::string disk, memory;
  ASSERT_EQ(python(kEntries, {fromDisk}, &disk), 0) << disk;
  ASSERT_EQ(python(kEntries, {fromMemory}, &memory), 0) << memory;
  EXPECT_EQ(memory, disk);
  EXPECT_NE(memory.find("big.bin"), std::string::npos);
  EXPECT_EQ(memory.find("False"), std::string::npos) << memory;
}

}  // namespace
