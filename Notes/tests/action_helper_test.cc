#include "Notes/ActionHelper.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Notes/NTSettings.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/UIKit/AttributedStringDocument.h"
#include "Platform/UIKit/Font.h"

namespace {

namespace fs = std::filesystem;

class ActionHelperTest : public ::testing::Test {
 protected:
  void SetUp() override { useBundleIdentifier("tavrix.Notes"); }
  void TearDown() override { ns::Bundle::setMainBundlePath(""); }

  // Makes the main bundle one with this identifier.
  void useBundleIdentifier(const std::string& identifier) {
    std::string path = device_.path("App-" + identifier + ".app");
    fs::create_directories(path);
    ASSERT_TRUE(ns::writePropertyListFile(ns::Dictionary{{"CFBundleIdentifier", identifier}},
                                          path + "/Info.plist", ns::PropertyListFormat::XML, nullptr));
    ns::Bundle::setMainBundlePath(path);
  }
  fs::path directory() { return ActionHelper::URLForNotesToImport()->path(); }
  // Imports as the app does once its save succeeded: reads, then deletes
  // what was read.
  static std::vector<ns::AttributedString> consume() {
    auto notes = ActionHelper::notesForImport();
    ActionHelper::removeImportedNotes(notes);
    std::vector<ns::AttributedString> texts;
    for (auto& note : notes) texts.push_back(note.text);
    return texts;
  }
  std::vector<std::string> entries() {
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(directory())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  static ns::AttributedString note(const std::string& text) {
    return ns::AttributedString(text, {{ns::kFontAttributeName, ui::Font::withName("Helvetica Neue", 17)}});
  }
  // Writes a package the way Jotshare does, under a chosen name.
  void writePackage(const std::string& name, const ns::AttributedString& text) {
    auto package = ui::fileWrapperFromRange(text, ns::Range{0, text.length()},
                                            {{ui::kDocumentTypeDocumentAttribute, ui::kRTFDTextDocumentType}});
    ASSERT_TRUE(package->write(directory() / name, ns::kFileWrapperWritingAtomic, {}));
  }

  ns::testing::TemporaryDevice device_;
};

TEST_F(ActionHelperTest, DirectoryLivesInTheGroupContainer) {
  EXPECT_EQ(NTSettings::groupIdentifier(), "group.tavrix.Notes");
  auto url = ActionHelper::URLForNotesToImport();
  ASSERT_TRUE(url);
  EXPECT_EQ(url->lastPathComponent(), "NotesToImport");
  EXPECT_EQ(url->path(), device_.device().groupContainerDirectory("group.tavrix.Notes") + "/NotesToImport");
  fs::remove_all(url->path());
  EXPECT_TRUE(fs::is_directory(ActionHelper::URLForNotesToImport()->path()));  // made again
  EXPECT_TRUE(consume().empty());

  struct Case {
    const char* bundle;
    std::optional<std::string> group;
  };
  const Case cases[] = {{"tavrix.Pennalo", "group.tavrix.Pennalo"},
                        {"tavrix.Pennalo.Jotshare", "group.tavrix.Pennalo"},
                        {"tavrix.Notes.Jotshare", "group.tavrix.Notes"},
                        {"tavrix.Note", std::nullopt},
                        {"com.example.tavrix.Notes", std::nullopt}};
  for (const Case& c : cases)
    EXPECT_EQ(NTSettings::groupIdentifierForBundleIdentifier(c.bundle), c.group) << c.bundle;
}

TEST_F(ActionHelperTest, WithoutAGroupThereIsNoHandOver) {
  fs::path container = device_.device().groupContainerDirectory("group.tavrix.Notes");
  EXPECT_TRUE(ActionHelper::saveNoteForImport(note("kept")));
  useBundleIdentifier("com.example.other");
  EXPECT_FALSE(NTSettings::groupIdentifier());
  EXPECT_FALSE(ActionHelper::URLForNotesToImport());
  ns::Error error;
  EXPECT_FALSE(ActionHelper::saveNoteForImport(note("lost"), &error));  // said, not lost silently
  EXPECT_EQ(error.domain(), ns::kCocoaErrorDomain);
  EXPECT_EQ(error.code(), ns::kFileNoSuchFileError);
  EXPECT_TRUE(consume().empty());
  useBundleIdentifier("tavrix.Notes.Jotshare");
  auto notes = consume();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].string(), "kept");
}

TEST_F(ActionHelperTest, SavedNotesAreImportedOnceAsRTFDPackages) {
  ns::AttributedString first = note("First shared text");
  ns::AttributedString second = note("Second\nwith two lines");
  ActionHelper::saveNoteForImport(first);
  ActionHelper::saveNoteForImport(second);
  auto names = entries();
  ASSERT_EQ(names.size(), 2u);
  for (const std::string& name : names) {
    EXPECT_TRUE(name.ends_with(".rtfd")) << name;
    EXPECT_TRUE(fs::is_regular_file(directory() / name / "TXT.rtf"));
  }

  // Reading alone deletes nothing.
  ASSERT_EQ(ActionHelper::notesForImport().size(), 2u);
  EXPECT_EQ(entries(), names);
  auto imported = consume();
  ASSERT_EQ(imported.size(), 2u);
  // Listing order is by name, and names are random: compare as a set.
  bool inOrder = imported[0] == first && imported[1] == second;
  bool swapped = imported[0] == second && imported[1] == first;
  EXPECT_TRUE(inOrder || swapped) << imported[0].description();
  EXPECT_TRUE(entries().empty());
  EXPECT_TRUE(consume().empty());
}

TEST_F(ActionHelperTest, OnlyPackagesThatWereReadAreDeleted) {
  writePackage("A.RTFD", note("capital extension"));
  writePackage("b.Rtfd", note("mixed case"));
  writePackage(".hidden.rtfd", note("hidden"));
  std::ofstream(directory() / "plain.txt") << "plain text";
  std::ofstream(directory() / ".DS_Store") << "x";
  fs::create_directory(directory() / "broken.rtfd");  // no TXT.rtf: cannot be read
  std::ofstream(directory() / "broken.rtfd" / "other") << "x";

  auto imported = consume();
  ASSERT_EQ(imported.size(), 2u);
  EXPECT_EQ(imported[0].string(), "capital extension");
  EXPECT_EQ(imported[1].string(), "mixed case");
  // What was not imported stays for the next activation.
  EXPECT_EQ(entries(), (std::vector<std::string>{".DS_Store", ".hidden.rtfd", "broken.rtfd", "plain.txt"}));
  EXPECT_TRUE(consume().empty());
}

// A process that ends while deleting an imported package leaves it under a
// hidden name, never as a half package in the listing; those leftovers go
// at the next import, and nothing else hidden (a package Jotshare is still
// writing) goes with them.
TEST_F(ActionHelperTest, DeletionsThatDidNotFinishLeaveOnlyHiddenLeftovers) {
  ActionHelper::saveNoteForImport(note("imported"));
  auto read = ActionHelper::notesForImport();
  ASSERT_EQ(read.size(), 1u);
  // Halfway: renamed, its text already gone.
  std::string hidden = "." + read[0].package.lastPathComponent() + ".imported";
  fs::rename(read[0].package.path(), directory() / hidden);
  fs::remove(directory() / hidden / ui::kRTFDTextFileName);
  writePackage(".being-written.rtfd", note("still being written"));
  EXPECT_TRUE(ActionHelper::notesForImport().empty());

  ActionHelper::removeInterruptedRemovals();
  EXPECT_EQ(entries(), (std::vector<std::string>{".being-written.rtfd"}));

  ActionHelper::saveNoteForImport(note("next"));
  auto next = ActionHelper::notesForImport();
  ActionHelper::removeImportedNotes(next);
  EXPECT_EQ(entries(), (std::vector<std::string>{".being-written.rtfd"})) << "deleted whole";
}

TEST_F(ActionHelperTest, APackageAppearingAfterAnImportWaitsForTheNext) {
  ActionHelper::saveNoteForImport(note("one"));
  EXPECT_EQ(consume().size(), 1u);
  ActionHelper::saveNoteForImport(note("two"));
  auto next = consume();
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].string(), "two");
}

}  // namespace
