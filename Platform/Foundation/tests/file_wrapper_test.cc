#include "Platform/Foundation/FileWrapper.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace ns {
namespace {

namespace fs = std::filesystem;

class FileWrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/filewrapper-XXXXXX";
    root_ = ::mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(root_); }

  std::vector<std::string> listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  static Data bytes(const std::string& s) { return Data(s.begin(), s.end()); }
  fs::path root_;
};

TEST_F(FileWrapperTest, DirectoryRoundTripsThroughDisk) {
  FileWrapper package = FileWrapper::directory();
  package.addRegularFile(bytes("{\\rtf1 x}"), "TXT.rtf");
  EXPECT_EQ(package.addRegularFile(bytes("one"), "image.png"), "image.png");
  EXPECT_EQ(package.addRegularFile(bytes("two"), "image.png"), "image 2.png");
  FileWrapper nested = FileWrapper::directory({}, "sub");
  nested.addRegularFile(Data{0, 1, 2, 255}, ".hidden");
  package.addFileWrapper(nested);

  std::string path = root_ / "note.rtfd";
  Error error;
  ASSERT_TRUE(package.write(path, kFileWrapperWritingAtomic, {}, &error)) << error.description();
  EXPECT_EQ(listing(root_), std::vector<std::string>{"note.rtfd"});  // nothing left beside it

  auto read = FileWrapper::read(path, &error);
  ASSERT_TRUE(read) << error.description();
  EXPECT_TRUE(read->isDirectory());
  EXPECT_EQ(read->filename(), "note.rtfd");
  ASSERT_EQ(read->fileWrappers().size(), 4u);
  EXPECT_EQ(read->fileWrappers().at("image 2.png").regularFileContents(), bytes("two"));
  EXPECT_EQ(read->fileWrappers().at("sub").fileWrappers().at(".hidden").regularFileContents(),
            (Data{0, 1, 2, 255}));
}

TEST_F(FileWrapperTest, AtomicWriteReplacesAnOldPackageWhole) {
  for (uint32_t options : {kFileWrapperWritingAtomic, 0u}) {
    std::string path = root_ / ("p" + std::to_string(options) + ".rtfd");
    FileWrapper first = FileWrapper::directory();
    first.addRegularFile(bytes("old"), "TXT.rtf");
    first.addRegularFile(bytes("old image"), "a.png");
    ASSERT_TRUE(first.write(path, options, {}));
    FileWrapper second = FileWrapper::directory();
    second.addRegularFile(bytes("new"), "TXT.rtf");
    ASSERT_TRUE(second.write(path, options, {}));
    EXPECT_EQ(listing(path), std::vector<std::string>{"TXT.rtf"}) << options;
    EXPECT_EQ(FileWrapper::read(path + "/TXT.rtf")->regularFileContents(), bytes("new"));
  }
  // Through URLs, as the backup writer calls it.
  URL url = URL::fileURLWithPath((root_ / "url.rtfd").string());
  FileWrapper viaURL = FileWrapper::directory();
  viaURL.addRegularFile(bytes("x"), "TXT.rtf");
  ASSERT_TRUE(viaURL.write(url, kFileWrapperWritingAtomic, std::nullopt));
  EXPECT_EQ(FileWrapper::read(url)->fileWrappers().size(), 1u);
  // A file over a directory and back.
  std::string path = root_ / "swap";
  ASSERT_TRUE(FileWrapper::directory().write(path, kFileWrapperWritingAtomic, {}));
  ASSERT_TRUE(FileWrapper::regularFile(bytes("f")).write(path, kFileWrapperWritingAtomic, {}));
  EXPECT_TRUE(fs::is_regular_file(path));
}

TEST_F(FileWrapperTest, FailuresAreReportedWithCocoaCodes) {
  Error error;
  EXPECT_FALSE(FileWrapper::read(root_ / "missing", &error));
  EXPECT_EQ(error.domain(), kCocoaErrorDomain);
  EXPECT_EQ(error.code(), 260);

  EXPECT_FALSE(FileWrapper::directory().write(root_ / "no" / "parent.rtfd",
                                              kFileWrapperWritingAtomic, {}, &error));
  EXPECT_EQ(error.domain(), kCocoaErrorDomain);
  EXPECT_EQ(error.code(), 4);

  if (::geteuid() != 0) {  // root writes anywhere
    fs::create_directory(root_ / "locked");
    fs::permissions(root_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(FileWrapper::regularFile(bytes("x")).write(root_ / "locked" / "f",
                                                            kFileWrapperWritingAtomic, {}, &error));
    EXPECT_EQ(error.code(), 513);
  }
}

// Links are not followed: forty levels of two links each to the level
// below would otherwise be read 2^40 times.
TEST_F(FileWrapperTest, LinksAreNeverFollowed) {
  fs::path package = root_ / "note.rtfd";
  fs::create_directories(package / "l0");
  std::ofstream(package / "TXT.rtf") << "{\\rtf1 x}";
  std::ofstream(package / "l0" / "leaf") << "leaf";
  for (int level = 1; level <= 40; ++level) {
    fs::path dir = package / ("l" + std::to_string(level));
    fs::create_directory(dir);
    const std::string below = "../l" + std::to_string(level - 1);
    fs::create_directory_symlink(below, dir / "a");
    fs::create_directory_symlink(below, dir / "b");
  }
  fs::create_symlink("/etc/hostname", package / "outside");

  auto read = FileWrapper::read(package);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->fileWrappers().size(), 42u);  // TXT.rtf and l0 ... l40
  EXPECT_FALSE(read->fileWrappers().contains("outside"));
  EXPECT_TRUE(read->fileWrappers().at("l40").fileWrappers().empty());
  EXPECT_EQ(read->fileWrappers().at("l0").fileWrappers().at("leaf").regularFileContents(), bytes("leaf"));

  Error error;
  EXPECT_FALSE(FileWrapper::read(package / "l1" / "a", &error));
  EXPECT_EQ(error.domain(), kCocoaErrorDomain);
}

}  // namespace
}  // namespace ns
