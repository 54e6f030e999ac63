#include <gtest/gtest.h>
#include <unistd.h>

#include "Libraries/Archive/VLZipArchive.h"
#include "Libraries/Archive/tests/ZipTestSupport.h"

namespace {

namespace fs = std::filesystem;
using ziptest::readFile;
using ziptest::run;
using ziptest::shellQuote;
using ziptest::writeFile;

// Records every callback as a line.
class RecordingDelegate : public VLZipArchiveDelegate {
 public:
  std::vector<std::string> events;
  long cancelAt = -1;

  void zipArchiveWillUnzipArchiveAtPath(const std::string&, const unz_global_info64& info) override {
    events.push_back("willArchive " + std::to_string(info.number_entry));
  }
  void zipArchiveProgressEvent(uint64_t loaded, uint64_t total) override {
    events.push_back(loaded == total ? "progress end" : "progress " + std::to_string(loaded));
  }
  bool zipArchiveShouldUnzipFileAtIndex(long index, long total, const std::string&, const unz_file_info64&) override {
    events.push_back("should " + std::to_string(index) + "/" + std::to_string(total));
    return index != cancelAt;
  }
  void zipArchiveDidUnzipFileAtIndexUnzippedFilePath(long index, long, const std::string&,
                                                     const std::string& path) override {
    events.push_back("did " + std::to_string(index) + " " + fs::path(path).filename().string());
  }
  void zipArchiveDidUnzipArchiveAtPath(const std::string&, const unz_global_info64&, const std::string&) override {
    events.push_back("didArchive");
  }
};

// Overrides the file-information form: the path form is never called.
class InfoDelegate : public RecordingDelegate {
 public:
  void zipArchiveDidUnzipFileAtIndex(long index, long, const std::string&, const unz_file_info64& info) override {
    events.push_back("didInfo " + std::to_string(index) + " " + std::to_string(info.uncompressed_size));
  }
};

class VLZipExtractTest : public ziptest::ZipTest {
 protected:
  void makeArchive(const std::string& archive, const std::string& entries) {
    std::string out;
    ASSERT_EQ(python("import sys, zipfile\nwith zipfile.ZipFile(sys.argv[1], 'w') as z:\n" + entries, {archive}, &out), 0)
        << out;
  }
};

TEST_F(VLZipExtractTest, ArchivesMadeByZipExtract) {
  const std::string src = path("src");
  writeFile(src + "/notes/a.txt", "alpha");
  ASSERT_EQ(symlink("a.txt", (src + "/notes/link").c_str()), 0);
  writeFile(src + "/__MACOSX/notes/._a.txt", "resource fork");
  writeFile(src + "/inner/b.txt", "beta");
  std::string out;
  ASSERT_EQ(run("cd " + shellQuote(src + "/inner") + " && zip -q ../notes/b.ZIP b.txt", &out), 0) << out;
  fs::remove_all(src + "/inner");
  ASSERT_EQ(run("cd " + shellQuote(src) + " && zip -q -r -y ../made.zip notes __MACOSX", &out), 0) << out;

  std::vector<std::string> progress;
  bool succeeded = false;
  ASSERT_TRUE(VLZipArchive::unzipFileAtPath(
      path("made.zip"), path("plain"),
      [&](const std::string& entry, const unz_file_info64&, long index, long total) {
        progress.push_back(std::to_string(index) + "/" + std::to_string(total) + " " + entry);
      },
      [&](const std::optional<std::string>& p, bool ok, const std::optional<ns::Error>& e) {
        EXPECT_EQ(p, path("made.zip"));
        EXPECT_FALSE(e);
        succeeded = ok;
      }));
  EXPECT_TRUE(succeeded);
  EXPECT_EQ(readFile(path("plain/notes/a.txt")), "alpha");
  EXPECT_EQ(fs::read_symlink(path("plain/notes/link")), "a.txt");
  EXPECT_TRUE(fs::is_regular_file(path("plain/notes/b.ZIP")));  // nested archives stay archives
  EXPECT_FALSE(fs::exists(path("plain/__MACOSX")));
  // Seven entries, three of them under __MACOSX: they count in the total
  // but get no progress call.
  EXPECT_EQ(progress.size(), 4u);
  for (const auto& line : progress) {
    EXPECT_NE(line.find("/7 "), std::string::npos) << line;
    EXPECT_EQ(line.find("__MACOSX"), std::string::npos) << line;
  }

  // One level of nesting: the inner archive is unpacked beside itself and removed.
  ns::Error error;
  ASSERT_TRUE(VLZipArchive::unzipFileAtPath(path("made.zip"), path("nested"), true, true, 1, std::nullopt, &error,
                                            nullptr, nullptr, nullptr))
      << error.description();
  EXPECT_EQ(readFile(path("nested/notes/b.txt")), "beta");
  EXPECT_FALSE(fs::exists(path("nested/notes/b.ZIP")));
}

TEST_F(VLZipExtractTest, ArchivesEncryptedByZipOpenWithTheirPassword) {
  writeFile(path("src/pin.txt"), std::string(5000, 'p') + "end");
  writeFile(path("src/short.txt"), "s");
  std::string out;
  // zip streams its output, so the check byte comes from the time, not the CRC.
  ASSERT_EQ(run("cd " + shellQuote(path("src")) + " && zip -q -P 'pa ss' ../locked.zip pin.txt short.txt", &out), 0)
      << out;
  EXPECT_TRUE(VLZipArchive::isFilePasswordProtectedAtPath(path("locked.zip")));
  ns::Error error;
  EXPECT_TRUE(VLZipArchive::isPasswordValidForArchiveAtPath(path("locked.zip"), std::string("pa ss"), &error));
  EXPECT_FALSE(VLZipArchive::isPasswordValidForArchiveAtPath(path("locked.zip"), std::string("pass"), &error));
  EXPECT_EQ(error.domain(), "");
  EXPECT_EQ(VLZipArchive::payloadSizeForArchiveAtPath(path("locked.zip"), &error), 5004u);

  EXPECT_FALSE(VLZipArchive::unzipFileAtPath(path("locked.zip"), path("none"), true, std::nullopt, &error));
  EXPECT_EQ(error.code(), -2);
  ASSERT_TRUE(VLZipArchive::unzipFileAtPath(path("locked.zip"), path("dest"), true, std::string("pa ss"), &error))
      << error.description();
  EXPECT_EQ(readFile(path("dest/pin.txt")), std::string(5000, 'p') + "end");
  EXPECT_EQ(readFile(path("dest/short.txt")), "s");
}

TEST_F(VLZipExtractTest, BrokenInnerArchiveStaysAFile) {
  makeArchive(path("outer.zip"), "    z.writestr('broken.zip', b'not a zip at all')\n");
  ASSERT_TRUE(VLZipArchive::unzipFileAtPath(path("outer.zip"), path("dest"), true, true, 1, std::nullopt, nullptr,
                                            nullptr, nullptr, nullptr));
  EXPECT_EQ(readFile(path("dest/broken.zip")), "not a zip at all");
}

TEST_F(VLZipExtractTest, DosNamesWithoutUtf8FlagAreCodePage437) {
  // zipfile writes UTF-8 names; patch a placeholder into a CP437 byte.
  makeArchive(path("dos.zip"),
              "    i = zipfile.ZipInfo('cafX.txt', date_time=(2020, 1, 2, 3, 4, 6))\n"
              "    i.create_system = 0\n"
              "    z.writestr(i, b'dos')\n");
  std::string bytes = readFile(path("dos.zip"));
  for (size_t at; (at = bytes.find("cafX.txt")) != std::string::npos;) bytes[at + 3] = '\x82';
  writeFile(path("dos.zip"), bytes);

  ASSERT_TRUE(VLZipArchive::unzipFileAtPath(path("dos.zip"), path("dest")));
  EXPECT_EQ(readFile(path("dest/caf\xC3\xA9.txt")), "dos");
  // DOS dates are local time: 03:04:06 in New York in January is 08:04:06 UTC.
  EXPECT_EQ(ziptest::mtimeOf(path("dest/caf\xC3\xA9.txt")), 1577952246.0);
  // Made by DOS: no mode bits, so the owner's read and write only.
  EXPECT_EQ(ziptest::modeOf(path("dest/caf\xC3\xA9.txt")), 0600u);
}

TEST_F(VLZipExtractTest, EmptyArchiveSucceedsWithEveryArchiveCallback) {
  makeArchive(path("empty.zip"), "    pass\n");
  RecordingDelegate delegate;
  std::optional<std::string> completedPath;
  bool ok = false;
  ASSERT_TRUE(VLZipArchive::unzipFileAtPath(path("empty.zip"), path("dest"), true, true, 0, std::nullopt, nullptr,
                                            &delegate, nullptr,
                                            [&](const std::optional<std::string>& p, bool s, const auto& e) {
                                              completedPath = p;
                                              ok = s;
                                              EXPECT_FALSE(e);
                                            }));
  EXPECT_EQ(delegate.events, (std::vector<std::string>{"willArchive 0", "progress 0", "didArchive", "progress end"}));
  EXPECT_EQ(completedPath, path("empty.zip"));
  EXPECT_TRUE(ok);

  // What zipping an empty folder writes reads back the same way.
  fs::create_directories(path("empty-folder"));
  ASSERT_TRUE(VLZipArchive::createZipFileAtPath(path("ours.zip"), path("empty-folder")));
  ns::Error error;
  EXPECT_TRUE(VLZipArchive::unzipFileAtPath(path("ours.zip"), path("ours"), true, std::nullopt, &error))
      << error.description();
  EXPECT_EQ(VLZipArchive::payloadSizeForArchiveAtPath(path("ours.zip"), &error), 0u);
  EXPECT_EQ(error.domain(), "");
  EXPECT_TRUE(VLZipArchive::isPasswordValidForArchiveAtPath(path("ours.zip"), std::string("pw"), &error));
}

TEST_F(VLZipExtractTest, DelegateSeesEveryEntryAndMayCancel) {
  makeArchive(path("three.zip"),
              "    z.writestr('a.txt', b'a')\n    z.writestr('b.txt', b'bb')\n    z.writestr('c.txt', b'ccc')\n");
  RecordingDelegate all;
  ASSERT_TRUE(VLZipArchive::unzipFileAtPath(path("three.zip"), path("all"), &all));
  const std::vector<std::string> expected = {
      // progress: the compressed bytes reached so far (stored entries of 1, 2 and 3 bytes)
      "willArchive 3", "progress 0", "should 0/3", "progress 1", "did 0 a.txt", "should 1/3", "progress 3",
      "did 1 b.txt",   "should 2/3", "progress 6", "did 2 c.txt", "didArchive", "progress end"};
  EXPECT_EQ(all.events, expected);

  InfoDelegate info;
  ASSERT_TRUE(VLZipArchive::unzipFileAtPath(path("three.zip"), path("info"), &info));
  EXPECT_EQ(std::count(info.events.begin(), info.events.end(), "didInfo 1 2"), 1);
  for (const auto& e : info.events) EXPECT_NE(e.rfind("did ", 0), 0u) << e;

  RecordingDelegate cancelling;
  cancelling.cancelAt = 1;
  std::optional<ns::Error> completionError = ns::Error("x", 1);
  bool completionOk = true;
  EXPECT_FALSE(VLZipArchive::unzipFileAtPath(path("three.zip"), path("cancelled"), true, true, 0, std::nullopt,
                                             nullptr, &cancelling, nullptr,
                                             [&](const auto&, bool s, const std::optional<ns::Error>& e) {
                                               completionOk = s;
                                               completionError = e;
                                             }));
  EXPECT_FALSE(completionOk);
  EXPECT_FALSE(completionError);  // cancelling is no error
  EXPECT_EQ(cancelling.events,
            (std::vector<std::string>{"willArchive 3", "progress 0", "should 0/3", "progress 1", "did 0 a.txt",
                                      "should 1/3"}));
  EXPECT_TRUE(fs::exists(path("cancelled/a.txt")));
  EXPECT_FALSE(fs::exists(path("cancelled/b.txt")));
  // The archive was closed once and stays usable.
  EXPECT_TRUE(VLZipArchive::unzipFileAtPath(path("three.zip"), path("again")));
}

TEST_F(VLZipExtractTest, OverwriteOffLeavesExistingFilesAlone) {
  makeArchive(path("a.zip"), "    z.writestr('dir/', b'')\n    z.writestr('dir/a.txt', b'archive')\n"
                             "    z.writestr('b.txt', b'archive')\n");
  writeFile(path("dest/dir/a.txt"), "mine");
  RecordingDelegate delegate;
  ns::Error error;
  ASSERT_TRUE(VLZipArchive::unzipFileAtPath(path("a.zip"), path("dest"), true, false, std::nullopt, &error,
                                            &delegate));
  EXPECT_EQ(readFile(path("dest/dir/a.txt")), "mine");
  EXPECT_EQ(readFile(path("dest/b.txt")), "archive");
  std::vector<std::string> dids;
  for (const auto& e : delegate.events)
    if (e.rfind("did ", 0) == 0) dids.push_back(e);
  // The directory entry is never skipped; the existing file is.
  EXPECT_EQ(dids, (std::vector<std::string>{"did 0 dir", "did 2 b.txt"}));
}

TEST_F(VLZipExtractTest, FailuresReachTheResultAndTheCompletion) {
  writeFile(path("garbage.zip"), "this is no archive");
  ziptest::writeLockedArchive(path("locked.zip"), "secret");
  struct Case {
    const char* what;
    std::string archive;
    std::string destination;
    const char* domain;
    int64_t code;
    bool pathGiven;  // whether the completion gets the archive path
  };
  const std::vector<Case> cases = {
      {"empty path", "", path("d1"), kVLZipArchiveErrorDomain, -6, false},
      {"empty destination", path("garbage.zip"), "", kVLZipArchiveErrorDomain, -6, false},
      {"missing archive", path("missing.zip"), path("d2"), kVLZipArchiveErrorDomain, -1, false},
      {"not an archive", path("garbage.zip"), path("d3"), kVLZipArchiveErrorDomain, -1, false},
      {"an entry that cannot be opened", path("locked.zip"), path("d4"), kVLZipArchiveErrorDomain, -2, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ns::Error error;
    std::optional<std::string> completedPath = "unset";
    std::optional<ns::Error> completionError;
    EXPECT_FALSE(VLZipArchive::unzipFileAtPath(c.archive, c.destination, true, true, 0, std::nullopt, &error, nullptr,
                                               nullptr, [&](const auto& p, bool, const auto& e) {
                                                 completedPath = p;
                                                 completionError = e;
                                               }));
    EXPECT_EQ(error.domain(), c.domain);
    EXPECT_EQ(error.code(), c.code);
    EXPECT_EQ(completionError.value_or(ns::Error()), error);
    EXPECT_EQ(completedPath.has_value(), c.pathGiven);
  }
  ns::Error error;
  EXPECT_EQ(VLZipArchive::payloadSizeForArchiveAtPath(path("garbage.zip"), &error), 0u);
  EXPECT_EQ(error.code(), -1);
  EXPECT_FALSE(VLZipArchive::isPasswordValidForArchiveAtPath(path("garbage.zip"), std::nullopt, &error));
  EXPECT_EQ(error.code(), -1);
}

}  // namespace
