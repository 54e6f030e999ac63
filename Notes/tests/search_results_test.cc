// Search results through the folder list's search bar, on a real store.
#include <gtest/gtest.h>

#include "Notes/SearchResultsController.h"
#include "Notes/tests/folders_test_support.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/Label.h"

namespace {

using notes::testing::FoldersScreenTest;
using ui::Input;
using Strings = std::vector<std::string>;

class SearchTest : public FoldersScreenTest {
 protected:
  // The rows the results show, as their titles.
  Strings results() {
    Strings out;
    auto search = folders_->searchResultsController();
    ui::TableView& table = search->tableView();
    for (const auto& path : table.allIndexPaths()) out.push_back(search->cellForRow(table, path)->textLabel().text());
    return out;
  }
  void search(const std::string& text) {
    ASSERT_TRUE(Input::tap("Search"));
    ASSERT_TRUE(Input::type(text));
  }
  // A note stamped `minutesAgo` before now.
  std::shared_ptr<NTNote> note(const std::shared_ptr<NTFolder>& folder, const std::string& text, double minutesAgo) {
    auto n = NTData::insertNewNoteAtIndex(ctx(), 0, folder);
    ns::AttributedString body(text);
    n->setText(&body, ns::Date::now().addingTimeInterval(-60 * minutesAgo));
    return n;
  }
};

TEST_F(SearchTest, MatchesIgnoreCaseAndAccentsAcrossFoldersNewestFirst) {
  auto work = addFolder("Work");
  auto home = addFolder("Home");
  note(work, "Crème Brûlée for the team", 30);
  note(home, "CRÈME BRÛLÉE, second try", 5);
  note(home, "Shopping list\nmilk, cream", 1);
  note(work, "Budget", 2);
  save();
  open();

  search("creme brulee");
  EXPECT_TRUE(folders_->searchController()->isActive());
  EXPECT_EQ(folders_->searchResultsController()->searchString(), "creme brulee");
  EXPECT_EQ(results(), (Strings{"CRÈME BRÛLÉE, second try", "Crème Brûlée for the team"}));
  EXPECT_TRUE(onScreen("\"Crème Brûlée for the team\""));

  // Each change of the text searches again; the text of every line counts.
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(Input::deleteBackward());
  ASSERT_TRUE(Input::type("MILK"));
  EXPECT_EQ(results(), (Strings{"Shopping list\n"}));  // a title keeps its line break

  // No text finds nothing.
  for (int i = 0; i < 4; ++i) Input::deleteBackward();
  EXPECT_EQ(results(), Strings{});
}

TEST_F(SearchTest, ResultsFollowChangesWhileShown) {
  auto work = addFolder("Work");
  auto home = addFolder("Home");
  auto plan = note(work, "Garden plan", 10);
  note(home, "Garden tools", 20);
  save();
  open();
  search("garden");
  ASSERT_EQ(results(), (Strings{"Garden plan", "Garden tools"}));

  // Edited elsewhere: the row shows the new title (and the newer stamp keeps it first).
  ns::AttributedString renamed("Garden plan for May");
  plan->setText(&renamed);
  save();
  Input::settle();
  EXPECT_EQ(results(), (Strings{"Garden plan for May", "Garden tools"}));

  // A new match appears, a deleted one goes.
  note(home, "Garden party", 0);
  NTData::deleteNote(ctx(), NTData::fetchSortedNotesInFolder(ctx(), home).back());
  save();
  Input::settle();
  EXPECT_EQ(results(), (Strings{"Garden party", "Garden plan for May"}));

}

TEST_F(SearchTest, ChosenResultOpensInTheEditorWithItsFolder) {
  auto work = addFolder("Work");
  auto home = addFolder("Home");
  auto plan = note(work, "Garden plan", 10);
  note(home, "Garden tools", 20);
  save();
  open();
  // The search of Home's own list covers all notes.
  folders_->showFolder(home, false);
  Input::settle();
  auto homeList = folders_->notesViewController();
  ASSERT_TRUE(homeList);
  search("garden");
  auto results = std::dynamic_pointer_cast<SearchResultsController>(homeList->searchController()->searchResultsController());
  ASSERT_TRUE(results);
  ASSERT_EQ(results->tableView().numberOfRows(0), 2);
  EXPECT_EQ(results->noteAtIndexPath(ui::IndexPath::forRow(0, 0)), plan);
  ASSERT_TRUE(Input::tap("Garden plan"));
  auto editor = std::dynamic_pointer_cast<DetailViewController>(top());
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->note(), plan);
  ASSERT_TRUE(folders_->notesViewController());
  EXPECT_EQ(folders_->notesViewController()->folder(), work);
}

}  // namespace
