#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <mutex>

#include "Notes/NTBackupsManager.h"
#include "Notes/tests/NotesTestStore.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/UIKit/Application.h"

namespace notes::testing {
namespace {

std::string run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
  if (pipe) pclose(pipe);
  return out;
}

// Every call of a writer's progress block, kept for inspection.
struct Calls {
  std::mutex mutex;
  std::vector<float> progress;
  std::optional<NTBackup> backup;
  std::optional<ns::Error> error;
  bool finished = false;

  NTBackupsManager::ProgressBlock block() {
    return [this](float p, const NTBackup* b, const ns::Error* e) {
      std::lock_guard lock(mutex);
      progress.push_back(p);
      if (b) backup = *b;
      if (e) error = *e;
      if (b || e) finished = true;
    };
  }
  void wait() {
    dispatch::RunLoop::main().runUntil([this] {
      std::lock_guard lock(mutex);
      return finished;
    }, 20);
  }
};

class BackupArchiveTest : public NotesStoreTest {
 public:
  void SetUp() override {
    NotesStoreTest::SetUp();
    container_ = std::make_shared<cd::PersistentContainer>("Notes", NTDataModel::model());
  }
  void load() {
    ASSERT_TRUE(NTData::saveContext(ctx()));
    auto description = cd::PersistentStoreDescription(storePath());
    container_->setPersistentStoreDescriptions(std::vector<cd::PersistentStoreDescription>{description});
    container_->loadPersistentStores([](const cd::PersistentStoreDescription&, const ns::Error* e) {
      ASSERT_EQ(e, nullptr);
    });
  }
  void addFolder(std::optional<std::string> title, std::vector<std::string> texts) {
    auto folder = NTData::insertNewFolderAtIndex(ctx(), NTData::countTotalFolders(ctx()));
    folder->setTitle(title);
    for (size_t i = 0; i < texts.size(); ++i) {
      auto note = NTData::insertNewNoteAtIndex(ctx(), i, folder);
      ns::AttributedString body(texts[i]);
      note->setText(&body, ns::Date(700000000.0 + double(i)));
    }
  }
  std::shared_ptr<cd::PersistentContainer> container_;
};

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
  std::string listing = run("python3 -c \"" + std::string([&] {
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
  first.wait();
  EXPECT_TRUE(first.backup);
  NTBackupsManager::setApplicationContainer(nullptr);
}

}  // namespace
}  // namespace notes::testing
