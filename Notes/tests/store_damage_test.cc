// A notes file that cannot be loaded: the app says so, keeps the file as it
// is and takes no edit it could not save.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Notes/ActionHelper.h"
#include "Notes/ClassNameTransformer.h"
#include "Notes/tests/NotesTestStore.h"
#include "Notes/tests/launch_fixture.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/ScreenText.h"

namespace {

namespace fs = std::filesystem;
using notes::testing::LaunchTest;
using notes::testing::StoreStack;

std::string bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class StoreDamageTest : public LaunchTest {
 protected:
  // A real store with a folder of 200 notes, closed (its log folded in).
  std::string healthyStoreBytes() {
    ClassNameTransformer::registerTransformer();
    {
      StoreStack writer(storePath());
      auto folder = NTData::insertNewFolderAtIndex(*writer.context, 0);
      folder->setTitle("Kept");
      for (int i = 0; i < 200; ++i) {
        ns::AttributedString text("Note " + std::to_string(i) + std::string(200, 'x'));
        NTData::insertNewNoteAtIndex(*writer.context, 0, folder)->setText(&text);
      }
      EXPECT_TRUE(NTData::saveContext(*writer.context));
    }
    std::string bytes = bytesOf(storePath());
    fs::remove(storePath());
    return bytes;
  }
};

TEST_F(StoreDamageTest, DamagedFileIsReportedKeptAndNeverEdited) {
  const std::string healthy = healthyStoreBytes();
  ASSERT_GT(healthy.size(), 8192u);
  std::string noise(6000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 131 + 7) % 251);
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"random bytes", noise},
      {"cut short", healthy.substr(0, healthy.size() / 2)},
      {"header only", healthy.substr(0, 100)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui::Application::shared().reset();
    writeBytes(storePath(), c.bytes);
    fs::remove(storePath() + "-wal");
    fs::remove(storePath() + "-shm");
    ActionHelper::saveNoteForImport(ns::AttributedString("Handed over"));
    launch();

    ASSERT_TRUE(delegate_->storeLoadError());
    std::string screen = ui::ScreenText::render();
    EXPECT_NE(screen.find("Your notes could not be opened"), std::string::npos) << screen;
    EXPECT_NE(screen.find(delegate_->storeLoadError()->localizedDescription()), std::string::npos) << screen;
    EXPECT_EQ(NTData::countTotalFolders(context()), 0u) << "nothing is added that could not be saved";

    // No way to edit: nothing under the alert takes a tap, nor does the
    // interface after it; the quick action and the handed-over note wait.
    EXPECT_FALSE(ui::Input::tap("Add"));
    EXPECT_FALSE(ui::Input::tap("Edit"));
    EXPECT_TRUE(ui::Input::tap("OK"));
    EXPECT_FALSE(ui::Input::tap("AddButton-Ball"));
    EXPECT_FALSE(ui::Input::tap("Add"));
    EXPECT_EQ(ui::ScreenText::render().find("New Folder"), std::string::npos) << ui::ScreenText::render();
    auto& application = ui::Application::shared();
    application.performShortcut(application.shortcutItems().at(0));
    ui::Input::settle();
    EXPECT_FALSE(context().hasChanges());
    auto waiting = ActionHelper::notesForImport();
    EXPECT_EQ(waiting.size(), 1u);
    ActionHelper::removeImportedNotes(waiting);  // the next case hands over its own

    ui::Input::background();
    application.terminate();
    EXPECT_EQ(bytesOf(storePath()), c.bytes) << "the file is kept as it was";
  }
}

}  // namespace
