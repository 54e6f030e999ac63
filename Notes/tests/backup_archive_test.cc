#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <mutex>

#include "Notes/NTBackupsManager.h"
#include "Notes/tests/backup_test_support.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/UIKit/Application.h"

namespace notes::testing {
namespace {

using BackupArchiveTest = BackupStoreTest;
using Calls = WriterCalls;

TEST_F(BackupArchiveTest, ArchiveHoldsExactlyTheLayoutAndReadsBack) {
  addFolder("Work", {"alpha", "beta"});
  addFolder(std::nullopt, {});
  addFolder("Work", {"gamma"});
  load();
  Calls calls;
  NTBackupsManager::startBackup(false, container_, calls.block());
  calls.wait();
  ASSERT_TRUE(calls.backup) << (calls.error ? calls.error->description() : "no call");
  std::string path = calls.backup->URL().path();
  EXPECT_EQ(path.rfind(NTBackupsManager::backupsPath() + "/Quillbox Backup ", 0), 0u) << path;
  EXPECT_FALSE(calls.backup->isAutoBackup());

  // A second reader: the entries, the property lists and the RTF text.
  std::string script =
      "import zipfile,plistlib,sys,collections\n"
      "z=zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None\n"
      "names=sorted(z.namelist()); out=[]\n"
      "for n in names:\n"
      "  if n.count('/')==0 and n.endswith('.plist'):\n"
      "    p=plistlib.loads(z.read(n)); out.append('F '+repr(sorted(p.keys()))+' '+p['title'])\n"
      "  elif n.endswith('.plist'):\n"
      "    p=plistlib.loads(z.read(n)); out.append('N '+n.split('/')[1]+' '+type(p['timeStamp']).__name__+' '+repr(sorted(p.keys())))\n"
      "  elif n.endswith('TXT.rtf'):\n"
      "    out.append('T '+n.split('/')[1]+' '+('alpha' in z.read(n).decode() or 'beta' in z.read(n).decode() or 'gamma' in z.read(n).decode()).__str__())\n"
      "print('\\n'.join(sorted(out)))\n";
  std::string listing = runCommand("python3 -c \"" + std::string([&] {
                              std::string s;
                              for (char c : script) { if (c == '"') s += "\\\""; else s += c; }
                              return s;
                            }()) + "\" '" + path + "'");
  EXPECT_EQ(listing,
            "F ['title'] \nF ['title'] Work\nF ['title'] Work\n"
            "N 0000.plist datetime ['timeStamp']\nN 0000.plist datetime ['timeStamp']\nN 0001.plist datetime ['timeStamp']\n"
            "T 0000.rtfd True\nT 0000.rtfd True\nT 0001.rtfd True\n");

  NTBackupsManager::Folders folders;
  bool done = false;
  std::mutex mutex;
  NTBackupsManager::openBackup(*calls.backup, [&](float, const NTBackupsManager::Folders* f, const ns::Error* e) {
    std::lock_guard lock(mutex);
    if (f) folders = *f;
    if (f || e) done = true;
  });
  dispatch::RunLoop::main().runUntil([&] { std::lock_guard lock(mutex); return done; }, 20);
  ASSERT_EQ(folders.size(), 2u);
  std::multiset<std::string> work;
  for (const auto& [stamp, text] : folders["Work"]) work.insert(text.string());
  EXPECT_EQ(work, (std::multiset<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_TRUE(folders[""].empty());
}

TEST_F(BackupArchiveTest, ProgressOfThreeFoldersOfTwoNotes) {
  for (int f = 0; f < 3; ++f) addFolder("F" + std::to_string(f), {"a", "b"});
  load();
  Calls calls;
  NTBackupsManager::startBackup(true, container_, calls.block());
  calls.wait();
  ASSERT_TRUE(calls.backup);
  EXPECT_TRUE(calls.backup->isAutoBackup());
  std::vector<float> expected{0.0f};
  for (float k : {0.f, 1.f, 2.f, 3.f, 4.f, 5.f}) expected.push_back(0.8f * (k / 6.0f));
  expected.push_back(0.8f);
  expected.push_back(1.0f);
  ASSERT_EQ(calls.progress.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(calls.progress[i], expected[i], 1e-6) << i;
}

TEST_F(BackupArchiveTest, LockedDeviceStopsWithItsErrorAndNoArchive) {
  addFolder("F", {"a"});
  load();
  ui::Application::shared().setProtectedDataAvailable(false);
  Calls calls;
  NTBackupsManager::startBackup(false, container_, calls.block());
  calls.wait();
  ui::Application::shared().setProtectedDataAvailable(true);
  ASSERT_TRUE(calls.error);
  EXPECT_EQ(calls.error->localizedDescription(), "Protected data unavailable to create backup");
  EXPECT_TRUE(reportedAtItsSite(*calls.error));
  EXPECT_TRUE(NTBackupsManager::localBackups().empty());
}

TEST_F(BackupArchiveTest, SecondGuardedBackupIsRefusedAtOnce) {
  addFolder("F", {"a"});
  load();
  NTBackupsManager::setApplicationContainer(container_);
  Calls first, second;
  NTBackupsManager::startBackup(false, first.block());
  NTBackupsManager::startBackup(false, second.block());
  ASSERT_TRUE(second.finished);  // synchronously, before the first could end
  ASSERT_TRUE(second.error);
  EXPECT_EQ(second.error->localizedDescription(), "Backup is already in progress");
  EXPECT_TRUE(reportedAtItsSite(*second.error));
  first.wait();
  EXPECT_TRUE(first.backup);
  NTBackupsManager::setApplicationContainer(nullptr);
}

// The start moment names and dates the archive; a second backup in the
// same second takes a free name instead of replacing the first.
TEST_F(BackupArchiveTest, NamedAndDatedByItsStartAndNeverReplacingAnother) {
  addFolder("F", {"a"});
  load();
  const ns::Date start(765000000.0);  // 2025-03-30 04:00:00 UTC
  ns::Clock::useVirtual(start);
  Calls first, second;
  backUp(first);
  backUp(second);
  ns::Clock::useReal();
  ASSERT_TRUE(first.backup && second.backup);
  const std::string directory = NTBackupsManager::backupsPath();
  EXPECT_EQ(first.backup->URL().path(), directory + "/Quillbox Backup 2025-03-30 04-00-00.quillbox");
  EXPECT_EQ(second.backup->URL().path(), directory + "/Quillbox Backup 2025-03-30 04-00-00 (1).quillbox");
  // A second reader of the dates: both stamps are the start moment.
  std::string stamps = runCommand(
      "python3 -c 'import os,sys; print(int(os.stat(sys.argv[1]).st_mtime), int(os.stat(sys.argv[2]).st_mtime))' " +
      shellQuoted(first.backup->URL().path()) + " " + shellQuoted(second.backup->URL().path()));
  const long unixStart = static_cast<long>(start.timeIntervalSince1970());
  EXPECT_EQ(stamps, std::to_string(unixStart) + " " + std::to_string(unixStart) + "\n");
  EXPECT_EQ(runCommand("unzip -tq " + shellQuoted(first.backup->URL().path()) + " >/dev/null && echo ok"), "ok\n");
  EXPECT_EQ(NTBackupsManager::localBackups().size(), 2u);
}

// An archive that cannot be put into the backups directory ends with an
// error, and nothing of it stays behind in either place.
TEST_F(BackupArchiveTest, ArchiveThatCannotBePlacedEndsWithAnErrorAndLeavesNothing) {
  addFolder("F", {"a", "b"});
  load();
  auto& fm = ns::FileManager::defaultManager();
  std::string directory = NTBackupsManager::backupsPath();
  ASSERT_TRUE(fm.removeItem(directory));
  ASSERT_TRUE(fm.createFile(directory, ns::Data()));  // a file where the directory belongs
  Calls calls;
  backUp(calls);
  ASSERT_TRUE(calls.finished);
  EXPECT_FALSE(calls.backup);
  ASSERT_TRUE(calls.error);
  EXPECT_FLOAT_EQ(calls.progress.back(), 1.0f);
  EXPECT_EQ(fm.contentsOfDirectory(fm.temporaryDirectory().path()).value_or(std::vector<std::string>{}),
            std::vector<std::string>{});
}

// Once a guarded backup has made its final call it no longer counts as
// running: a backup started from that call is accepted.
TEST_F(BackupArchiveTest, BackupStartedFromTheFinalCallOfAnotherIsAccepted) {
  addFolder("F", {"a"});
  load();
  NTBackupsManager::setApplicationContainer(container_);
  Calls first, second;
  auto firstBlock = first.block();
  NTBackupsManager::startBackup(false, [&](float p, const NTBackup* b, const ns::Error* e) {
    firstBlock(p, b, e);
    if (b || e) NTBackupsManager::startBackup(true, second.block());
  });
  first.wait();
  second.wait();
  NTBackupsManager::setApplicationContainer(nullptr);
  EXPECT_TRUE(first.backup);
  EXPECT_TRUE(second.backup) << (second.error ? second.error->localizedDescription() : "no final call");
}

// Each package's RTF, read by a second reader (unrtf), is its note's text,
// under the title of the folder whose property list lies beside it.
TEST_F(BackupArchiveTest, EachNotesRichTextReadsBackThroughASecondReader) {
  addFolder("Work", {"alpha one", "beta two"});
  addFolder("Home", {"gamma three"});
  load();
  Calls calls;
  backUp(calls);
  ASSERT_TRUE(calls.backup);
  const char* script = R"PY(
import os, plistlib, subprocess, sys, tempfile, zipfile
z = zipfile.ZipFile(sys.argv[1]); d = tempfile.mkdtemp(dir=sys.argv[2]); z.extractall(d)
out = []
for name in z.namelist():
    if name.endswith('.rtfd/TXT.rtf'):
        folder, note = name.split('/')[0], name.split('/')[1][:-5]
        title = plistlib.load(open(os.path.join(d, folder + '.plist'), 'rb'))['title']
        text = subprocess.run(['unrtf', '--text', os.path.join(d, name)], capture_output=True, text=True).stdout
        out.append(title + '/' + note + ': ' + text.split('-----------------\n', 1)[1].strip())
print('\n'.join(sorted(out)))
)PY";
  std::string scriptPath = device_.path("read.py");
  ASSERT_TRUE(ns::FileManager::defaultManager().createFile(
      scriptPath, ns::Data(script, script + std::char_traits<char>::length(script))));
  EXPECT_EQ(runCommand("python3 " + shellQuoted(scriptPath) + " " + shellQuoted(calls.backup->URL().path()) + " " +
                       shellQuoted(device_.directory())),
            "Home/0000: gamma three\nWork/0000: alpha one\nWork/0001: beta two\n");
}

// A store without folders still gives a backup: an archive with no
// entries, which reads back as no folders.
TEST_F(BackupArchiveTest, StoreWithoutFoldersGivesAnEmptyArchive) {
  load();
  Calls calls;
  backUp(calls);
  ASSERT_TRUE(calls.backup) << (calls.error ? calls.error->description() : "no final call");
  EXPECT_EQ(calls.progress, (std::vector<float>{0.0f, 0.8f, 1.0f}));
  EXPECT_EQ(runCommand("python3 -c 'import sys,zipfile; print(zipfile.ZipFile(sys.argv[1]).namelist())' " +
                       shellQuoted(calls.backup->URL().path())),
            "[]\n");
  ReaderCalls read;
  readBackup(*calls.backup, read);
  ASSERT_TRUE(read.folders);
  EXPECT_TRUE(read.folders->empty());
}

}  // namespace
}  // namespace notes::testing
