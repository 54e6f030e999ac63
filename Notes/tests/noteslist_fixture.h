// For tests of the notes list: a fresh device with the source tree's main
// bundle, an application delegate owning the store (not launched), the
// storyboard "Main", and a notes list pushed in a navigation controller.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Libraries/AppSupportKit/TXKit.h"
#include "Notes/AppDelegate.h"
#include "Notes/MainStoryboard.h"
#include "Notes/NTData.h"
#include "Notes/NTSettings.h"
#include "Notes/NotesViewController.h"
#include "Notes/tests/NotesTestBundle.h"
#include "Notes/tests/NotesTestStore.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace notes::testing {

class NotesListTest : public ui::testing::InterfaceTest {
 protected:
  explicit NotesListTest(ns::UserInterfaceIdiom idiom = ns::UserInterfaceIdiom::Phone) : InterfaceTest(idiom) {
    registerMainStoryboard();
    app_ = std::make_shared<AppDelegate>();
    ui::Application::shared().setDelegate(app_);
    TXKit::sharedInstance().setShowingMessage(false);
  }

  cd::ManagedObjectContext& context() { return *app_->managedObjectContext(); }
  std::string storePath() const { return ns::Device::current().documentsDirectory() + "/Notes.sqlite"; }

  std::shared_ptr<NTFolder> addFolder(const std::string& title) {
    auto folder = NTData::insertNewFolderAtIndex(context(), NTData::countTotalFolders(context()));
    folder->setTitle(title);
    return folder;
  }
  // A note at the end of the folder's manual order, stamped `minutesAgo`.
  std::shared_ptr<NTNote> addNote(const std::shared_ptr<NTFolder>& folder, const std::string& text,
                                  double minutesAgo = 0) {
    auto note = NTData::insertNewNoteAtIndex(context(), folder->notes().size(), folder);
    ns::AttributedString rich(text);
    note->setText(&rich, ns::Date::now().addingTimeInterval(-60 * minutesAgo));
    return note;
  }
  void save() { ASSERT_TRUE(NTData::saveContext(context())); }
  static void setSortOrder(int order) {
    NTSettings::userDefaults()->setInteger(order, NTSettings::kNotesSortOrderKey);
  }

  // The list from the storyboard for `folder` (null: All Notes), on screen.
  std::shared_ptr<NotesViewController> open(std::shared_ptr<NTFolder> folder) {
    list_ = std::dynamic_pointer_cast<NotesViewController>(
        ui::Storyboard::named(kMainStoryboardName)->instantiateViewController("NotesViewController"));
    list_->setFolder(std::move(folder));
    nav_ = std::make_shared<ui::NavigationController>(list_);
    show(nav_);
    layout();
    return list_;
  }
  void layout() {
    ui::Input::settle();
    if (window_) window_->layoutIfNeeded();
  }
  std::string screen() {
    layout();
    return ui::ScreenText::render();
  }

  // Row titles of the table as shown, section by section.
  std::vector<std::vector<std::string>> rows() {
    layout();
    std::vector<std::vector<std::string>> out;
    auto& table = list_->tableView();
    for (int s = 0; s < table.numberOfSections(); ++s) {
      out.emplace_back();
      for (int r = 0; r < table.numberOfRows(s); ++r) {
        auto note = list_->noteAtIndexPath(ui::IndexPath{s, r});
        out.back().push_back(note ? note->title().value_or("") : "<none>");
      }
    }
    return out;
  }

  // What a relaunch reads from the file: the titles of a folder in order.
  std::vector<std::string> storedTitles(const std::string& folder) {
    StoreStack reader(storePath());
    return titlesOf(NTData::fetchSortedNotesInFolder(*reader.context, NTData::folderNamed(*reader.context, folder)));
  }

  NotesTestBundle bundle_;
  std::shared_ptr<AppDelegate> app_;
  std::shared_ptr<NotesViewController> list_;
  std::shared_ptr<ui::NavigationController> nav_;
};

}  // namespace notes::testing
