// Texts handed over by Jotshare reach the store exactly once, wherever the
// importing process is killed: a child launches the app and is killed after
// each step of its import in turn (the packages read, the notes made, the
// save, each package deleted), then a second launch, another child, finds
// what the first left. Steps are counted, not timed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Notes/ActionHelper.h"
#include "Notes/tests/AppChildRun.h"
#include "Notes/tests/NotesTestBundle.h"
#include "Notes/tests/NotesTestStore.h"

namespace {

namespace fs = std::filesystem;

using notes::testing::ChildEnd;

// Runs the import child on `device`, killed after step `killAt` (0: never).
ChildEnd runChild(const std::string& device, int killAt) {
  return notes::testing::runAppChild(NOTES_IMPORT_CHILD,
                                     {device, notes::testing::sourceBundlePath(), std::to_string(killAt)});
}

// How often each text is in the store, read by a second reader of its file.
std::map<std::string, int> storedTexts(const std::string& storePath) {
  notes::testing::StoreStack reader(storePath);
  std::map<std::string, int> counts;
  for (const auto& note : NTData::fetchSortedNotesInFolder(*reader.context, nullptr)) ++counts[note->string().value_or("")];
  return counts;
}

TEST(HandOverKillTest, AKillAfterAnyStepOfTheImportLeavesEachSharedTextOnce) {
  const std::vector<std::string> shared = {"Milk, eggs", "Call the plumber", "Water the plants"};
  int kills = 0;
  for (int killAt = 1;; ++killAt) {
    SCOPED_TRACE("killed after step " + std::to_string(killAt));
    ns::testing::TemporaryDevice device;
    notes::testing::NotesTestBundle bundle;
    for (const auto& text : shared) ASSERT_TRUE(ActionHelper::saveNoteForImport(ns::AttributedString(text)));

    ChildEnd first = runChild(device.directory(), killAt);
    if (!first.killed) {
      // The import has fewer steps than this: every one has been tried.
      ASSERT_EQ(first.status, 0) << first.output;
      EXPECT_EQ(first.output, "steps " + std::to_string(killAt - 1) + "\n");
      break;
    }
    ++kills;
    ChildEnd relaunch = runChild(device.directory(), 0);
    ASSERT_EQ(relaunch.status, 0) << relaunch.output;

    auto counts = storedTexts(device.device().documentsDirectory() + "/Notes.sqlite");
    for (const auto& text : shared) EXPECT_EQ(counts[text], 1) << text;
    EXPECT_TRUE(fs::is_empty(ActionHelper::URLForNotesToImport()->path())) << "every package goes once imported";
  }
  // Read, made, saved, and one deletion per package.
  EXPECT_EQ(kills, 3 + static_cast<int>(shared.size()));
}

}  // namespace
