// The move picker on a real store: the checkmark on the note's folder,
// moving to the top of another folder, closing without change.
#include <gtest/gtest.h>

#include "Notes/MoveNoteViewController.h"
#include "Notes/tests/NotesTestStore.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using notes::testing::StoreStack;
using notes::testing::titlesOf;
using Strings = std::vector<std::string>;

// Stands in for the notes list: presents the picker and offers "doneMove:".
class Presenter : public ui::ViewController {
 public:
  int unwinds = 0;
  Presenter() {
    registerUnwindAction("doneMove:", [this](ui::StoryboardSegue& segue) {
      ++unwinds;
      segue.sourceViewController()->dismissViewController(true);
    });
  }
};

class MovePickerTest : public ui::testing::InterfaceTest {
 protected:
  void SetUp() override {
    stack_ = std::make_unique<StoreStack>(storePath());
    auto& ctx = *stack_->context;
    work_ = NTData::insertNewFolderAtIndex(ctx, 0);
    work_->setTitle("Work");
    home_ = NTData::insertNewFolderAtIndex(ctx, 1);
    home_->setTitle("Home");
    for (const char* title : {"Milk", "Bread"}) {
      auto note = NTData::insertNewNoteAtIndex(ctx, 0, home_);
      ns::AttributedString text(title);
      note->setText(&text);
    }
    for (const char* title : {"Plan", "Budget", "Report"}) {
      auto note = NTData::insertNewNoteAtIndex(ctx, 0, work_);
      ns::AttributedString text(title);
      note->setText(&text);
    }
    ASSERT_TRUE(NTData::saveContext(ctx));

    auto board = ui::Storyboard::named("Main");
    board->registerScene("Presenter", [] { return std::make_shared<Presenter>(); }, true);
    board->registerScene("MoveNoteViewController", [] { return std::make_shared<MoveNoteViewController>(); });
    board->registerSegue("MoveNoteViewController", {"selected", ui::SegueKind::Unwind, "doneMove:"});
    presenter_ = std::static_pointer_cast<Presenter>(board->instantiateInitialViewController());
    show(presenter_);
  }

  std::string storePath() { return device().device().documentsDirectory() + "/Notes.sqlite"; }

  std::shared_ptr<MoveNoteViewController> present(const std::shared_ptr<NTNote>& note) {
    auto picker = std::static_pointer_cast<MoveNoteViewController>(
        ui::Storyboard::named("Main")->instantiateViewController("MoveNoteViewController"));
    picker->setNote(note);
    presenter_->presentViewController(std::make_shared<ui::NavigationController>(picker), true);
    ui::Input::settle();
    window_->layoutIfNeeded();
    return picker;
  }

  std::shared_ptr<NTNote> note(const std::shared_ptr<NTFolder>& folder, const std::string& title) {
    for (const auto& n : NTData::fetchSortedNotesInFolder(*stack_->context, folder))
      if (n->title() == title) return n;
    return nullptr;
  }

  // What a relaunch reads from the file.
  Strings savedTitles(const std::string& folder) {
    StoreStack second(storePath());
    return titlesOf(NTData::fetchSortedNotesInFolder(*second.context, NTData::folderNamed(*second.context, folder)));
  }

  std::unique_ptr<StoreStack> stack_;
  std::shared_ptr<NTFolder> work_, home_;
  std::shared_ptr<Presenter> presenter_;
};

TEST_F(MovePickerTest, ListsFoldersWithTheirCountsAndMarksTheNotesFolder) {
  present(note(home_, "Milk"));
  std::string screen = ui::ScreenText::render();
  EXPECT_NE(screen.find("\"Move Note\""), std::string::npos) << screen;
  EXPECT_NE(screen.find("Milk"), std::string::npos) << screen;  // the prompt
  EXPECT_NE(screen.find("\"Work\" \"3\"\n"), std::string::npos) << screen;
  EXPECT_NE(screen.find("\"Home\" \"2\" ✓"), std::string::npos) << screen;
}

TEST_F(MovePickerTest, TappingAnotherFolderMovesTheNoteToItsTopAndCloses) {
  present(note(work_, "Budget"));
  ASSERT_TRUE(ui::Input::tap("Home")) << ui::Input::lastFailure();
  EXPECT_EQ(presenter_->unwinds, 1);
  EXPECT_FALSE(presenter_->presentedViewController());
  EXPECT_EQ(savedTitles("Home"), (Strings{"Budget", "Bread", "Milk"}));
  EXPECT_EQ(savedTitles("Work"), (Strings{"Report", "Plan"}));
  // Both folders' orders stay dense.
  StoreStack second(storePath());
  for (const char* folder : {"Home", "Work"}) {
    auto notes = NTData::fetchSortedNotesInFolder(*second.context, NTData::folderNamed(*second.context, folder));
    for (size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(notes[i]->displayOrder(), int(i)) << folder;
  }
}

TEST_F(MovePickerTest, TappingTheCurrentFolderClosesWithoutChange) {
  present(note(work_, "Budget"));
  ASSERT_TRUE(ui::Input::tap("Work")) << ui::Input::lastFailure();
  EXPECT_EQ(presenter_->unwinds, 1);
  EXPECT_FALSE(presenter_->presentedViewController());
  EXPECT_FALSE(stack_->context->hasChanges());
  EXPECT_EQ(savedTitles("Work"), (Strings{"Report", "Budget", "Plan"}));
}

}  // namespace
