#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "Notes/NTBackupsManager.h"
#include "Notes/tests/backup_test_support.h"
#include "Platform/Foundation/FileManager.h"

namespace notes::testing {
namespace {

// Folder title -> (text, time stamp in Unix seconds) of each note.
using Contents = std::map<std::string, std::multiset<std::pair<std::string, long>>>;

Contents contentsOf(const NTBackupsManager::Folders& folders) {
  Contents out;
  for (const auto& [title, notes] : folders) {
    auto& entries = out[title];
    for (const auto& [stamp, text] : notes)
      entries.insert({text.string(), static_cast<long>(stamp.timeIntervalSince1970())});
  }
  return out;
}

// The archive layout made by hand: property lists by Python's plistlib,
// RTF written directly, the archive by `zip -r`. Besides two regular
// folders it holds the odd cases a reader must survive.
const char* kMakeLayout = R"PY(
import os, plistlib, sys, datetime
root = sys.argv[1]
def folder(name, title=None, plist=True):
    os.makedirs(os.path.join(root, name), exist_ok=True)
    if plist:
        with open(os.path.join(root, name + '.plist'), 'wb') as f:
            plistlib.dump({} if title is None else {'title': title}, f)
def note(folder, base, text, stamp=None, ext='rtfd', plist=True):
    package = os.path.join(root, folder, base + '.' + ext)
    os.makedirs(package, exist_ok=True)
    with open(os.path.join(package, 'TXT.rtf'), 'w') as f:
        f.write('{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n{\\fonttbl\\f0\\fswiss Helvetica;}\n\\f0\\fs24 ' + text + '}')
    os.utime(package, (1500000000, 1500000000))
    if plist:
        value = stamp if stamp is not None else datetime.datetime(2024, 3, 5, 18, 7, 9)
        with open(os.path.join(root, folder, base + '.plist'), 'wb') as f:
            plistlib.dump({'timeStamp': value}, f)
folder('A1', 'Work'); note('A1', '0000', 'alpha'); note('A1', '0001', 'beta', ext='RTFD')
folder('A2', 'Work'); note('A2', '0000', 'gamma')
folder('B1', None); note('B1', '0000', 'untitled')
folder('B2', plist=False); note('B2', '0000', 'no plist')
folder('B3', 42); note('B3', '0000', 'numeric title', stamp='yesterday')
folder('C1', ''); note('C1', '0000', 'blank title', plist=False)
folder('D1', 'Empty')
folder('.hidden', 'Hidden'); note('.hidden', '0000', 'hidden folder')
note('A1', '.0002', 'hidden package')
with open(os.path.join(root, 'A1', 'readme.txt'), 'w') as f: f.write('not a note')
)PY";

class BackupReaderTest : public ::testing::Test {
 public:
  std::string path(const std::string& name) { return device_.path(name); }
  ns::testing::TemporaryDevice device_;
};

TEST_F(BackupReaderTest, ArchiveMadeByHandReadsBackWithItsOddCases) {
  std::string layout = path("layout"), archive = path("hand.quillbox");
  std::string script = path("make.py");
  ASSERT_TRUE(ns::FileManager::defaultManager().createFile(
      script, ns::Data(kMakeLayout, kMakeLayout + std::char_traits<char>::length(kMakeLayout))));
  ASSERT_EQ(runCommand("python3 " + shellQuoted(script) + " " + shellQuoted(layout) + " && cd " +
                       shellQuoted(layout) + " && zip -qr " + shellQuoted(archive) + " . && echo ok"),
            "ok\n");

  ReaderCalls calls;
  readBackup(NTBackup(ns::URL::fileURLWithPath(archive)), calls);
  ASSERT_TRUE(calls.folders) << (calls.error ? calls.error->description() : "no final call");
  const long stamp = 1709662029, fileDate = 1500000000;
  EXPECT_EQ(contentsOf(*calls.folders),
            (Contents{{"Work", {{"alpha", stamp}, {"beta", stamp}, {"gamma", stamp}}},
                      {"Unnamed Folder", {{"untitled", stamp}, {"no plist", stamp}, {"numeric title", fileDate}}},
                      {"", {{"blank title", fileDate}}},
                      {"Empty", {}}}));

  // Progress rises through extraction (at most 0.8) and reading (at most
  // 1.0) and ends with exactly one 1.0.
  ASSERT_GE(calls.progress.size(), 3u);
  EXPECT_EQ(calls.progress.front(), 0.0f);
  EXPECT_EQ(calls.progress.back(), 1.0f);
  for (size_t i = 1; i + 1 < calls.progress.size(); ++i) {
    EXPECT_LE(calls.progress[i - 1], calls.progress[i]) << i;
    EXPECT_LT(calls.progress[i], 1.0f) << i;
  }
  // The reader's working copy is gone.
  auto& fm = ns::FileManager::defaultManager();
  EXPECT_EQ(fm.contentsOfDirectory(fm.temporaryDirectory().path()).value_or(std::vector<std::string>{}),
            std::vector<std::string>{});
}

TEST_F(BackupReaderTest, FilesThatAreNoBackupEndWithTheirError) {
  auto& fm = ns::FileManager::defaultManager();
  ASSERT_TRUE(fm.createFile(path("text.quillbox"), ns::Data(5000, 'q')));
  ASSERT_TRUE(fm.createFile(path("empty.quillbox"), ns::Data()));
  std::string truncated = path("truncated.quillbox");
  ASSERT_EQ(runCommand("cd " + shellQuoted(device_.directory()) + " && head -c 4000 /dev/urandom > blob && zip -q z.zip blob"
                       " && head -c 300 z.zip > " + shellQuoted(truncated) + " && echo ok"),
            "ok\n");
  struct Case {
    std::string file;
    const char* message;
  } cases[] = {
      {path("missing.quillbox"), "Backup file not found."},
      {path("text.quillbox"), "File doesn't seem to be a backup file."},
      {path("empty.quillbox"), "File doesn't seem to be a backup file."},
      {truncated, "File doesn't seem to be a backup file."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ReaderCalls calls;
    readBackup(NTBackup(ns::URL::fileURLWithPath(c.file)), calls);
    ASSERT_TRUE(calls.error);
    EXPECT_FALSE(calls.folders);
    EXPECT_EQ(calls.error->localizedDescription(), c.message);
    EXPECT_TRUE(reportedAtItsSite(*calls.error));
    EXPECT_EQ(calls.progress.front(), 0.0f);
    EXPECT_EQ(calls.progress.back(), 1.0f);
    EXPECT_EQ(fm.contentsOfDirectory(fm.temporaryDirectory().path()).value_or(std::vector<std::string>{}),
              std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace notes::testing
