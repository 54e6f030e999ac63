#include "Platform/Foundation/FileManager.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace ns {
namespace {

Data bytes(std::string_view s) { return Data(s.begin(), s.end()); }

class FileManagerTest : public ::testing::Test {
 protected:
  std::string path(const std::string& relative) const { return device_.path(relative); }
  void write(const std::string& relative, std::string_view text) {
    ASSERT_TRUE(fm_.writeData(bytes(text), path(relative), {}));
  }
  testing::TemporaryDevice device_;
  FileManager& fm_ = FileManager::defaultManager();
};

TEST_F(FileManagerTest, DeviceDirectories) {
  const std::string app = device_.directory() + "/App";
  EXPECT_EQ(fm_.documentsDirectory().path(), app + "/Documents");
  EXPECT_EQ(fm_.libraryDirectory().path(), app + "/Library");
  EXPECT_EQ(fm_.preferencesDirectory().path(), app + "/Library/Preferences");
  EXPECT_EQ(fm_.cachesDirectory().path(), app + "/Library/Caches");
  EXPECT_EQ(fm_.applicationSupportDirectory().path(), app + "/Library/Application Support");
  EXPECT_EQ(fm_.temporaryDirectory().path(), app + "/tmp");
  for (const URL& url : {fm_.documentsDirectory(), fm_.preferencesDirectory(), fm_.temporaryDirectory()}) {
    bool isDirectory = false;
    EXPECT_TRUE(fm_.fileExists(url, &isDirectory) && isDirectory) << url.path();
  }
  auto group = fm_.containerURLForSecurityApplicationGroupIdentifier("group.com.tavrix.Quillbox");
  ASSERT_TRUE(group);
  EXPECT_TRUE(fm_.fileExists(group->path()));
  EXPECT_FALSE(fm_.containerURLForSecurityApplicationGroupIdentifier("../escape"));
  EXPECT_FALSE(fm_.ubiquityContainerURL("iCloud.com.tavrix.Quillbox")) << "not signed in";

  DeviceFacts facts;
  facts.iCloudSignedIn = true;
  device_.device().setFacts(facts);
  auto cloud = fm_.ubiquityContainerURL("iCloud.com.tavrix.Quillbox");
  ASSERT_TRUE(cloud);
  EXPECT_TRUE(fm_.fileExists(cloud->path()));

  auto t1 = fm_.createUniqueTemporaryDirectory(), t2 = fm_.createUniqueTemporaryDirectory();
  ASSERT_TRUE(t1 && t2);
  EXPECT_NE(*t1, *t2);
  EXPECT_EQ(fm_.contentsOfDirectory(t1->path()), std::vector<std::string>{});
}

TEST_F(FileManagerTest, ErrorCodesCallersCompare) {
  struct Case {
    const char* what;
    std::function<bool(Error*)> op;
    int64_t code;
  } cases[] = {
      {"remove missing", [&](Error* e) { return fm_.removeItem(path("nope"), e); }, kFileNoSuchFileError},
      {"read missing", [&](Error* e) { return fm_.contentsAtPath(path("nope"), e).has_value(); },
       kFileReadNoSuchFileError},
      {"attributes missing", [&](Error* e) { return fm_.attributesOfItem(path("nope"), e).has_value(); },
       kFileReadNoSuchFileError},
      {"list missing", [&](Error* e) { return fm_.contentsOfDirectory(path("nope"), e).has_value(); },
       kFileReadNoSuchFileError},
      {"move missing", [&](Error* e) { return fm_.moveItem(path("nope"), path("x"), e); }, kFileNoSuchFileError},
      {"write into missing dir", [&](Error* e) { return fm_.writeData(bytes("x"), path("no/dir/f"), {}, e); },
       kFileNoSuchFileError},
      {"exclusive write on existing",
       [&](Error* e) { return fm_.writeData(bytes("x"), path("existing"), {.withoutOverwriting = true}, e); },
       kFileWriteFileExistsError},
      {"atomic exclusive write on existing",
       [&](Error* e) {
         return fm_.writeData(bytes("x"), path("existing"), {.atomic = true, .withoutOverwriting = true}, e);
       },
       kFileWriteFileExistsError},
      {"move onto existing", [&](Error* e) { return fm_.moveItem(path("other"), path("existing"), e); },
       kFileWriteFileExistsError},
      {"copy onto existing", [&](Error* e) { return fm_.copyItem(path("other"), path("existing"), e); },
       kFileWriteFileExistsError},
      {"mkdir existing", [&](Error* e) { return fm_.createDirectory(path("App"), false, e); },
       kFileWriteFileExistsError},
      {"mkdir over a file", [&](Error* e) { return fm_.createDirectory(path("existing/sub"), true, e); },
       kFileWriteFileExistsError},
  };
  write("existing", "old");
  write("other", "other");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Error error;
    EXPECT_FALSE(c.op(&error));
    EXPECT_EQ(error.domain(), kCocoaErrorDomain);
    EXPECT_EQ(error.code(), c.code);
    EXPECT_TRUE(error.userInfo().contains(kFilePathErrorKey));
  }
  EXPECT_EQ(fm_.contentsAtPath(path("existing")), bytes("old"));
  EXPECT_EQ(fm_.contentsAtPath(path("other")), bytes("other"));
}

TEST_F(FileManagerTest, PermissionErrorsWhenNotRoot) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores permissions";
  ASSERT_TRUE(fm_.createDirectory(path("locked"), false));
  write("locked/f", "x");
  ASSERT_TRUE(fm_.setAttributes({.posixPermissions = 0500}, path("locked")));
  Error error;
  EXPECT_FALSE(fm_.writeData(bytes("y"), path("locked/g"), {.atomic = true}, &error));
  EXPECT_EQ(error.code(), kFileWriteNoPermissionError);
  ASSERT_TRUE(fm_.setAttributes({.posixPermissions = 0700}, path("locked")));
}

TEST_F(FileManagerTest, CreateListEnumerateRemove) {
  ASSERT_TRUE(fm_.createDirectory(path("a/b/c"), true));
  EXPECT_TRUE(fm_.createDirectory(path("a/b/c"), true)) << "existing directory is fine with intermediates";
  write("a/z.txt", "z");
  write("a/.hidden", "h");
  write("a/b/c/deep", "d");

  EXPECT_EQ(fm_.contentsOfDirectory(path("a")), (std::vector<std::string>{".hidden", "b", "z.txt"}));
  auto visible = fm_.contentsOfDirectory(URL::fileURLWithPath(path("a")), {.skipsHiddenFiles = true});
  ASSERT_TRUE(visible);
  ASSERT_EQ(visible->size(), 2u);
  EXPECT_EQ((*visible)[0].lastPathComponent(), "b");
  EXPECT_TRUE((*visible)[0].hasDirectoryPath());
  EXPECT_FALSE((*visible)[1].hasDirectoryPath());

  EXPECT_EQ(fm_.subpathsOfDirectory(path("a")),
            (std::vector<std::string>{".hidden", "b", "b/c", "b/c/deep", "z.txt"}));

  ASSERT_TRUE(fm_.removeItem(path("a")));
  EXPECT_FALSE(fm_.fileExists(path("a")));
}

TEST_F(FileManagerTest, MoveAndCopyTrees) {
  ASSERT_TRUE(fm_.createDirectory(path("src/inner"), true));
  write("src/inner/f", "payload");
  ASSERT_TRUE(fm_.createSymbolicLink(path("src/link"), "inner/f"));
  ASSERT_TRUE(fm_.setAttributes({.posixPermissions = 0640, .creationDate = Date(1000)}, path("src/inner/f")));

  ASSERT_TRUE(fm_.copyItem(path("src"), path("copy")));
  EXPECT_TRUE(fm_.contentsEqual(path("src"), path("copy")));
  EXPECT_EQ(fm_.destinationOfSymbolicLink(path("copy/link")), std::optional<std::string>("inner/f"));
  auto copied = fm_.attributesOfItem(path("copy/inner/f"));
  ASSERT_TRUE(copied);
  EXPECT_EQ(copied->posixPermissions, 0640u);
  EXPECT_EQ(copied->creationDate, Date(1000));

  Error error;
  EXPECT_FALSE(fm_.copyItem(path("src"), path("src/inner/again"), &error)) << "into itself";
  EXPECT_EQ(error.code(), kFileWriteUnknownError);
  EXPECT_FALSE(fm_.fileExists(path("src/inner/again")));

  write("copy/inner/f", "changed");
  EXPECT_FALSE(fm_.contentsEqual(path("src"), path("copy")));

  ASSERT_TRUE(fm_.moveItem(path("src"), path("moved")));
  EXPECT_FALSE(fm_.fileExists(path("src")));
  EXPECT_EQ(fm_.contentsAtPath(path("moved/inner/f")), bytes("payload"));
}

TEST_F(FileManagerTest, AttributesAndCreationDate) {
  write("f", "12345");
  auto before = fm_.attributesOfItem(path("f"));
  ASSERT_TRUE(before);
  EXPECT_EQ(before->size, 5u);
  EXPECT_EQ(before->type, FileType::Regular);
  EXPECT_FALSE(before->protection.has_value());
  // Without a stored date the birth (or modification) time stands in.
  EXPECT_LE(before->creationDate, before->modificationDate.addingTimeInterval(1));

  const Date start(700000000.25);
  ASSERT_TRUE(fm_.setAttributes({.posixPermissions = 0600,
                                 .modificationDate = start,
                                 .creationDate = start,
                                 .protection = kFileProtectionNone},
                                path("f")));
  auto after = fm_.attributesOfItem(path("f"));
  ASSERT_TRUE(after);
  EXPECT_EQ(after->posixPermissions, 0600u);
  EXPECT_NEAR(after->modificationDate.timeIntervalSinceReferenceDate(), start.timeIntervalSinceReferenceDate(), 1e-6);
  EXPECT_NEAR(after->creationDate.timeIntervalSinceReferenceDate(), start.timeIntervalSinceReferenceDate(), 1e-6);
  EXPECT_EQ(after->protection, std::optional<std::string>(kFileProtectionNone));

  // The creation date survives an atomic rewrite only if set again; a move keeps it.
  ASSERT_TRUE(fm_.moveItem(path("f"), path("g")));
  EXPECT_NEAR(fm_.attributesOfItem(path("g"))->creationDate.timeIntervalSinceReferenceDate(),
              start.timeIntervalSinceReferenceDate(), 1e-6);

  ASSERT_TRUE(fm_.createDirectory(path("d"), false));
  auto dir = fm_.attributesOfItem(path("d"));
  ASSERT_TRUE(dir);
  EXPECT_EQ(dir->type, FileType::Directory);
  ASSERT_TRUE(fm_.createSymbolicLink(path("l"), "g"));
  EXPECT_EQ(fm_.attributesOfItem(path("l"))->type, FileType::SymbolicLink);

  EXPECT_FALSE(fm_.isExcludedFromBackup(path("g")));
  ASSERT_TRUE(fm_.setExcludedFromBackup(path("g"), true));
  EXPECT_TRUE(fm_.isExcludedFromBackup(path("g")));
  ASSERT_TRUE(fm_.setExtendedAttribute("test.key", bytes("v"), path("g")));
  EXPECT_EQ(fm_.extendedAttribute("test.key", path("g")), bytes("v"));
  ASSERT_TRUE(fm_.removeExtendedAttribute("test.key", path("g")));
  EXPECT_FALSE(fm_.extendedAttribute("test.key", path("g")));
}

TEST_F(FileManagerTest, AtomicWriteReplacesWholeAndLeavesNoTemporary) {
  write("doc", "first version, rather long");
  ASSERT_TRUE(fm_.setAttributes({.posixPermissions = 0640}, path("doc")));
  ASSERT_TRUE(fm_.writeData(bytes("second"), path("doc"), {.atomic = true}));
  EXPECT_EQ(fm_.contentsAtPath(path("doc")), bytes("second"));
  EXPECT_EQ(fm_.attributesOfItem(path("doc"))->posixPermissions, 0640u) << "replacement keeps the mode";
  EXPECT_EQ(fm_.contentsOfDirectory(device_.directory()), (std::vector<std::string>{"App", "doc"}));

  // A failed atomic write leaves the old content and no temporary either.
  Error error;
  EXPECT_FALSE(fm_.writeData(bytes("x"), path("doc"), {.atomic = true, .withoutOverwriting = true}, &error));
  EXPECT_EQ(fm_.contentsAtPath(path("doc")), bytes("second"));
  EXPECT_EQ(fm_.contentsOfDirectory(device_.directory()), (std::vector<std::string>{"App", "doc"}));

  ASSERT_TRUE(fm_.createFile(path("new"), bytes("n"), {.posixPermissions = 0604}));
  EXPECT_EQ(fm_.attributesOfItem(path("new"))->posixPermissions, 0604u);
}

TEST_F(FileManagerTest, ExclusiveCreateHasOneWinner) {
  constexpr int kWriters = 8;
  std::vector<std::thread> threads;
  std::atomic<int> winners{0};
  for (int i = 0; i < kWriters; ++i)
    threads.emplace_back([&, i] {
      if (fm_.writeData(bytes(std::to_string(i)), path("lock"), {.atomic = true, .withoutOverwriting = true}))
        ++winners;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(winners.load(), 1);
}

}  // namespace
}  // namespace ns

namespace ns {
namespace {

TEST(FileManagerICloud, MovesOnlyWhenSignedIn) {
  testing::TemporaryDevice device;
  auto& fm = FileManager::defaultManager();
  std::string backups = device.path("App/Documents/backups.Notes");
  ASSERT_TRUE(fm.createDirectory(backups, true));
  URL local = URL::fileURLWithPath(backups);

  Error error;
  EXPECT_FALSE(fm.setUbiquitous(true, local, URL::fileURLWithPath(device.path("iCloud/x/backups.Notes")), &error));
  EXPECT_EQ(error.code(), kUbiquitousFileUnavailableError);
  EXPECT_TRUE(fm.fileExists(backups)) << "nothing moved";

  DeviceFacts facts;
  facts.iCloudSignedIn = true;
  device.device().setFacts(facts);
  auto container = fm.ubiquityContainerURL("iCloud.com.tavrix.Quillbox");
  ASSERT_TRUE(container);
  URL remote = container->appendingPathComponent("Documents", true).appendingPathComponent("backups.Notes", true);
  ASSERT_TRUE(fm.createDirectory(remote.deletingLastPathComponent(), true));
  ASSERT_TRUE(fm.setUbiquitous(true, local, remote));
  EXPECT_FALSE(fm.fileExists(backups));
  EXPECT_EQ(fm.ubiquitousItemDownloadingStatus(remote), std::optional<std::string>(kUbiquitousItemDownloadingStatusCurrent));
  EXPECT_FALSE(fm.ubiquitousItemDownloadingStatus(local));
  EXPECT_TRUE(fm.startDownloadingUbiquitousItem(remote));
  EXPECT_FALSE(fm.startDownloadingUbiquitousItem(local));
  EXPECT_EQ(temporaryDirectoryPath(), device.path("App/tmp/"));
}

TEST_F(FileManagerTest, ImmutableFlag) {
  Error error;
  EXPECT_EQ(fm_.isImmutableItem(path("missing"), &error), std::nullopt);
  EXPECT_EQ(error.code(), kFileNoSuchFileError);
  write("f", "kept");
  EXPECT_EQ(fm_.isImmutableItem(path("f")), std::optional<bool>(false));
  EXPECT_TRUE(fm_.setImmutable(false, path("f"))) << "clearing a flag that is not set";
  if (!fm_.setImmutable(true, path("f"))) GTEST_SKIP() << "no privilege or no flags here to make a file immutable";
  EXPECT_EQ(fm_.isImmutableItem(path("f")), std::optional<bool>(true));
  EXPECT_FALSE(fm_.writeData(bytes("changed"), path("f"), {}));
  EXPECT_FALSE(fm_.removeItem(path("f")));
  ASSERT_TRUE(fm_.setImmutable(false, path("f")));
  EXPECT_EQ(fm_.isImmutableItem(path("f")), std::optional<bool>(false));
  EXPECT_EQ(fm_.contentsAtPath(path("f")), bytes("kept"));
  EXPECT_TRUE(fm_.removeItem(path("f")));
}

}  // namespace
}  // namespace ns
