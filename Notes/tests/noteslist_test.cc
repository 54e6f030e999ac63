// The notes list on a real store: the three orders, All Notes by folder,
// dates, opening notes, deleting, moving, dragging and live changes.
#include <gtest/gtest.h>

#include "Notes/DetailViewController.h"
#include "Notes/MoveNoteViewController.h"
#include "Notes/NoteTableViewCell.h"
#include "Notes/tests/noteslist_fixture.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"

namespace {

using notes::testing::NotesListTest;
using notes::testing::StoreStack;
using Strings = std::vector<std::string>;
using Sections = std::vector<Strings>;

class NotesList : public NotesListTest {
 protected:
  void SetUp() override {
    work_ = addFolder("Work");
    home_ = addFolder("Home");
    // Manual order: Plan, budget, Agenda; newest: budget, Agenda, Plan.
    addNote(work_, "Plan", 30);
    addNote(work_, "budget", 5);
    addNote(work_, "Agenda", 10);
    addNote(home_, "Milk", 20);
    addNote(home_, "Bread", 1);
    save();
  }
  std::shared_ptr<NTNote> noteTitled(const std::string& title) {
    for (const auto& n : NTData::fetchSortedNotesInFolder(context(), nullptr))
      if (n->title() == title) return n;
    return nullptr;
  }
  // The editor on top of the master stack (on a phone the detail side's
  // navigation controller is pushed there whole).
  std::shared_ptr<DetailViewController> shownEditor() {
    auto top = nav_->topViewController();
    if (auto inner = std::dynamic_pointer_cast<ui::NavigationController>(top)) top = inner->topViewController();
    return std::dynamic_pointer_cast<DetailViewController>(top);
  }
  std::shared_ptr<NoteTableViewCell> cellOf(int section, int row) {
    layout();
    return std::dynamic_pointer_cast<NoteTableViewCell>(list_->tableView().cellForRow(ui::IndexPath{section, row}));
  }

  std::shared_ptr<NTFolder> work_, home_;
};

TEST_F(NotesList, EachSortOrderListsTheFolderInItsOrderAndOnlyManualLetsRowsMove) {
  struct Case {
    int order;
    Strings expected;
    bool movable;
  } cases[] = {
      {0, {"budget", "Agenda", "Plan"}, false},  // newest first
      {1, {"Agenda", "budget", "Plan"}, false},  // titles, ignoring case
      {2, {"Plan", "budget", "Agenda"}, true},   // by hand
  };
  for (const auto& c : cases) {
    setSortOrder(c.order);
    open(work_);
    EXPECT_EQ(rows(), Sections{c.expected}) << c.order;
    EXPECT_EQ(list_->canMoveRows(), c.movable) << c.order;
    list_->setEditing(true, false);
    EXPECT_EQ(list_->tableView().userMoveRow({0, 0}, {0, 2}), c.movable) << c.order;
    list_->setEditing(false, false);
  }
  // Only the manual case moved anything: Plan went to the end.
  EXPECT_EQ(storedTitles("Work"), (Strings{"budget", "Agenda", "Plan"}));
}

TEST_F(NotesList, AllNotesIsGroupedByFolderWithTheFolderTitlesAsHeaders) {
  setSortOrder(0);
  open(nullptr);
  EXPECT_EQ(list_->title(), "All Notes");
  EXPECT_EQ(rows(), (Sections{{"budget", "Agenda", "Plan"}, {"Bread", "Milk"}}));
  auto& table = list_->tableView();
  EXPECT_EQ(list_->titleForHeader(table, 0), "Work");
  EXPECT_EQ(list_->titleForHeader(table, 1), "Home");
  EXPECT_EQ(list_->heightForHeader(table, 0), 30);
  // A folder's own list has neither headers nor their height.
  open(home_);
  EXPECT_EQ(list_->title(), "Home");
  EXPECT_EQ(list_->titleForHeader(list_->tableView(), 0), "");
  EXPECT_EQ(list_->heightForHeader(list_->tableView(), 0), 0);
}

TEST_F(NotesList, DraggingANoteIntoAnotherFoldersSectionMovesItThere) {
  setSortOrder(2);
  open(nullptr);
  list_->setEditing(true, false);
  // Agenda (Work, row 2) dropped between Milk and Bread.
  ASSERT_TRUE(list_->tableView().userMoveRow({0, 2}, {1, 1}));
  EXPECT_EQ(noteTitled("Agenda")->folder(), home_);
  EXPECT_EQ(storedTitles("Home"), (Strings{"Milk", "Agenda", "Bread"}));
  EXPECT_EQ(storedTitles("Work"), (Strings{"Plan", "budget"}));
  // The table is reloaded from the store after the drag.
  advance(NotesViewController::kReloadAfterMoveDelay);
  EXPECT_EQ(rows(), (Sections{{"Plan", "budget"}, {"Milk", "Agenda", "Bread"}}));
  // Within one folder the drop row is where it ends up.
  ASSERT_TRUE(list_->tableView().userMoveRow({1, 0}, {1, 2}));
  advance(NotesViewController::kReloadAfterMoveDelay);
  EXPECT_EQ(storedTitles("Home"), (Strings{"Agenda", "Bread", "Milk"}));
  EXPECT_EQ(rows(), (Sections{{"Plan", "budget"}, {"Agenda", "Bread", "Milk"}}));
}

TEST_F(NotesList, DateTextsFollowTheDayAndTheSetting) {
  setSortOrder(2);
  auto old = addNote(work_, "Old");
  old->setTimeStamp(ns::Date::now().addingTimeInterval(-86400));
  save();
  open(work_);
  // Plan was stamped 30 minutes ago today (06:13 on the virtual clock).
  EXPECT_EQ(cellOf(0, 0)->noteDateLabel()->text(), "5:43\u202FAM");
  EXPECT_EQ(cellOf(0, 3)->noteDateLabel()->text(), "Yesterday");
  NTSettings::userDefaults()->setBool(false, NTSettings::kShowNoteDateKey);
  list_->refetch();
  EXPECT_EQ(cellOf(0, 0)->noteDateLabel()->text(), "");
  EXPECT_EQ(cellOf(0, 3)->noteDateLabel()->text(), "");
  EXPECT_EQ(cellOf(0, 0)->noteTitleLabel()->text(), "Plan");
}

TEST_F(NotesList, SettingAndRemovingAReminderShowsAndHidesTheImage) {
  setSortOrder(2);
  open(work_);
  auto cell = cellOf(0, 1);
  EXPECT_TRUE(cell->hideImage());
  const double hiddenTitleX = cell->noteTitleLabel()->frame().minX();

  auto budget = noteTitled("budget");
  budget->setReminderDate(ns::Date::now().addingTimeInterval(3600));
  save();
  advance(NoteTableViewCell::kAnimationDuration);
  cell = cellOf(0, 1);
  EXPECT_FALSE(cell->hideImage());
  EXPECT_EQ(cell->noteImageView()->alpha(), 1);
  EXPECT_GT(cell->noteTitleLabel()->frame().minX(), hiddenTitleX);

  budget->setReminderDate(std::nullopt);
  save();
  advance(NoteTableViewCell::kAnimationDuration);
  cell = cellOf(0, 1);
  EXPECT_TRUE(cell->hideImage());
  EXPECT_EQ(cell->noteImageView()->alpha(), 0);
  EXPECT_DOUBLE_EQ(cell->noteTitleLabel()->frame().minX(), hiddenTitleX);
}

TEST_F(NotesList, ShowingANoteOpensTheEditorOnlyForARowOfTheList) {
  setSortOrder(2);
  open(nullptr);
  struct Case {
    size_t section, row;
    const char* opens;  // null: nothing happens
  } cases[] = {
      {0, 3, nullptr},   // one past Work's notes
      {0, 4, nullptr},   // a row of the whole list, but not of Work's section
      {2, 0, nullptr},   // no such section
      {1, 1, "Bread"},
  };
  for (const auto& c : cases) {
    list_->showNoteAtIndexPath(ns::IndexPath{c.section, c.row}, false);
    layout();
    auto editor = shownEditor();
    if (!c.opens) {
      EXPECT_EQ(nav_->topViewController(), list_) << c.section << "," << c.row;
      continue;
    }
    ASSERT_TRUE(editor) << c.section << "," << c.row;
    EXPECT_EQ(editor->note(), noteTitled(c.opens));
    EXPECT_EQ(list_->tableView().indexPathForSelectedRow(), (ui::IndexPath{int(c.section), int(c.row)}));
  }
  // showNote finds the row itself, coming back to the list first.
  list_->showNote(noteTitled("Plan"), true);
  layout();
  auto editor = shownEditor();
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->note(), noteTitled("Plan"));
  EXPECT_EQ(nav_->viewControllers().size(), 2u);
}

TEST_F(NotesList, TappingARowOpensItsNote) {
  setSortOrder(2);
  open(home_);
  ASSERT_TRUE(ui::Input::tap("Bread")) << ui::Input::lastFailure();
  layout();
  auto editor = shownEditor();
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->note(), noteTitled("Bread"));
}

TEST_F(NotesList, SwipeDeleteAsksFirstAndDeletesTheNoteItAskedAbout) {
  setSortOrder(2);
  open(work_);
  EXPECT_EQ(list_->tableView().rowActionTitles({0, 1}), (Strings{"Delete", "Move", "Reminder"}));
  // Cancelling keeps the note.
  ASSERT_TRUE(ui::Input::swipeRow("budget", "Delete")) << ui::Input::lastFailure();
  auto sheet = std::dynamic_pointer_cast<ui::AlertController>(list_->presentedViewController());
  ASSERT_TRUE(sheet);
  EXPECT_EQ(sheet->title(), "Delete this note?");
  EXPECT_EQ(sheet->message(), "budget");
  EXPECT_EQ(sheet->preferredStyle(), ui::AlertControllerStyle::ActionSheet);
  ASSERT_TRUE(ui::Input::tap("Cancel"));
  EXPECT_EQ(storedTitles("Work"), (Strings{"Plan", "budget", "Agenda"}));

  // While the sheet is up another note lands above: the sheet still deletes
  // budget, not whatever now sits in its old row.
  ASSERT_TRUE(ui::Input::swipeRow("budget", "Delete"));
  auto early = NTData::insertNewNoteAtIndex(context(), 0, work_);
  ns::AttributedString text("Early");
  early->setText(&text);
  save();
  ASSERT_TRUE(ui::Input::tap("Delete Note")) << ui::Input::lastFailure();
  EXPECT_FALSE(list_->presentedViewController());
  EXPECT_EQ(storedTitles("Work"), (Strings{"Early", "Plan", "Agenda"}));
  EXPECT_EQ(rows(), (Sections{{"Early", "Plan", "Agenda"}}));
}

TEST_F(NotesList, SwipeMoveOpensThePickerAndTheNoteLeavesTheList) {
  setSortOrder(2);
  open(work_);
  ASSERT_TRUE(ui::Input::swipeRow("Agenda", "Move")) << ui::Input::lastFailure();
  auto presented = std::dynamic_pointer_cast<ui::NavigationController>(list_->presentedViewController());
  ASSERT_TRUE(presented);
  auto picker = std::dynamic_pointer_cast<MoveNoteViewController>(presented->topViewController());
  ASSERT_TRUE(picker);
  EXPECT_EQ(picker->note(), noteTitled("Agenda"));
  layout();
  ASSERT_TRUE(ui::Input::tap("Home")) << ui::Input::lastFailure();
  EXPECT_FALSE(list_->presentedViewController());
  EXPECT_EQ(rows(), (Sections{{"Plan", "budget"}}));
  EXPECT_EQ(storedTitles("Home"), (Strings{"Agenda", "Milk", "Bread"}));
}

TEST_F(NotesList, ChangesMadeElsewhereReachTheList) {
  setSortOrder(0);
  open(work_);
  addNote(work_, "Fresh");
  addNote(home_, "Elsewhere");
  save();
  EXPECT_EQ(rows(), (Sections{{"Fresh", "budget", "Agenda", "Plan"}}));
  auto plan = noteTitled("Plan");
  ns::AttributedString text("Plan B");
  plan->setText(&text);  // stamped now: moves to the top
  save();
  EXPECT_EQ(rows(), (Sections{{"Plan B", "Fresh", "budget", "Agenda"}}));
  EXPECT_NE(screen().find("\"Plan B\""), std::string::npos) << screen();
}

TEST_F(NotesList, AFolderThatIsGoneTurnsTheListIntoAllNotes) {
  setSortOrder(2);
  open(home_);
  NTData::deleteFolder(context(), home_);
  save();
  list_->refetch();
  EXPECT_FALSE(list_->folder());
  EXPECT_EQ(rows(), (Sections{{"Plan", "budget", "Agenda"}}));
  EXPECT_EQ(list_->titleForHeader(list_->tableView(), 0), "Work");
}

TEST_F(NotesList, TipsOnAnAnimatedAppearance) {
  setSortOrder(2);
  open(work_);
  list_->viewDidAppear(true);
  // The first tip shows; the second waits while it does, its view counted.
  EXPECT_NE(screen().find("Tip: \"Swipe the note right to left to reveal more options\""), std::string::npos)
      << screen();
  EXPECT_EQ(screen().find("Tip: \"Tap Edit"), std::string::npos);
  auto defaults = ns::UserDefaults::standardUserDefaults();
  EXPECT_TRUE(TXKit::showedMessageID("tipNoteSwipeLeft"));
  EXPECT_FALSE(TXKit::showedMessageID("tipNotesManualReorder"));
  EXPECT_EQ(defaults->integerForKey("com.tavrix.viewsCount.tipNotesManualReorder"), 1);
}

}  // namespace

namespace {

class NotesListReturns : public NotesList {};

TEST_F(NotesListReturns, ComingBackFromTheSettingsTakesTheNewOrder) {
  setSortOrder(2);
  open(work_);
  list_->performSegue("settings", nullptr);
  layout();
  ASSERT_TRUE(list_->presentedViewController());
  setSortOrder(1);
  ASSERT_TRUE(ui::Input::tap("Done")) << ui::Input::lastFailure();
  EXPECT_FALSE(list_->presentedViewController());
  EXPECT_EQ(rows(), (Sections{{"Agenda", "budget", "Plan"}}));
  EXPECT_FALSE(list_->canMoveRows());
}

TEST_F(NotesListReturns, ADayLaterTheDateTextsMoveOn) {
  setSortOrder(2);
  open(work_);
  EXPECT_EQ(cellOf(0, 0)->noteDateLabel()->text(), "5:43\u202FAM");
  advance(86400);
  ui::Application::shared().significantTimeChange();
  layout();
  EXPECT_EQ(cellOf(0, 0)->noteDateLabel()->text(), "Yesterday");
}

TEST_F(NotesListReturns, AFirmPressPreviewsTheNoteAndOpensIt) {
  setSortOrder(2);
  open(work_);
  auto preview = std::dynamic_pointer_cast<DetailViewController>(ui::Input::peek("budget"));
  ASSERT_TRUE(preview) << ui::Input::lastFailure();
  EXPECT_EQ(preview->note(), noteTitled("budget"));
  EXPECT_FALSE(ui::Input::peek("Work"));  // the title bar is no row
  ASSERT_TRUE(ui::Input::pop("budget")) << ui::Input::lastFailure();
  layout();
  auto editor = shownEditor();
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->note(), noteTitled("budget"));
}

}  // namespace

namespace {

class NotesListFolder : public NotesList {};

TEST_F(NotesListFolder, AFolderSavedAfterTheListOpenedStaysItsList) {
  setSortOrder(2);
  auto fresh = addFolder("Fresh");
  addNote(fresh, "Idea");
  open(fresh);  // not saved yet: the folder has no permanent identity
  save();
  list_->refetch();
  EXPECT_EQ(list_->folder(), fresh);
  EXPECT_EQ(rows(), (Sections{{"Idea"}}));
}

}  // namespace
