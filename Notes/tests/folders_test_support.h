// For tests of the folder list and the search results: a temporary device
// with the app's bundle, an application delegate owning a real store, and a
// storyboard "Main" holding the folder list (in a navigation controller on
// a phone, the master side of a split view on a pad), the notes list, the
// editor and the settings placeholder.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Notes/AppDelegate.h"
#include "Notes/DetailViewController.h"
#include "Notes/FoldersViewController.h"
#include "Notes/NTData.h"
#include "Notes/NTSettings.h"
#include "Notes/NotesViewController.h"
#include "Notes/SettingsStoryboard.h"
#include "Notes/tests/NotesTestBundle.h"
#include "Notes/tests/NotesTestStore.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/SplitViewController.h"
#include "Platform/UIKit/Storyboard.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace notes::testing {

class FoldersScreenTest : public ui::testing::InterfaceTest {
 protected:
  explicit FoldersScreenTest(ns::UserInterfaceIdiom idiom = ns::UserInterfaceIdiom::Phone)
      : ui::testing::InterfaceTest(idiom) {
    TXKit::sharedInstance().setShowingMessage(false);
    TXConfig::sharedInstance().reset();
    ui::Application::shared().setDelegate(app_);
    registerBoard(idiom == ns::UserInterfaceIdiom::Pad);
  }
  ~FoldersScreenTest() override {
    TXKit::sharedInstance().setShowingMessage(false);
    TXConfig::sharedInstance().reset();
  }

  cd::ManagedObjectContext& ctx() { return *app_->managedObjectContext(); }

  // A folder at the end of the list with `notes` notes titled "<title> 1"...
  std::shared_ptr<NTFolder> addFolder(const std::string& title, int notes = 0) {
    auto folder = NTData::insertNewFolderAtIndex(ctx(), 1000);
    folder->setTitle(title);
    for (int i = notes; i >= 1; --i) addNote(folder, title + " " + std::to_string(i));
    return folder;
  }
  std::shared_ptr<NTNote> addNote(const std::shared_ptr<NTFolder>& folder, const std::string& text) {
    auto note = NTData::insertNewNoteAtIndex(ctx(), 0, folder);
    ns::AttributedString body(text);
    note->setText(&body);
    return note;
  }
  void save() { ASSERT_TRUE(NTData::saveContext(ctx())); }

  // Shows the storyboard's first screen; the folder list wakes with it.
  void open() {
    root_ = ui::Storyboard::named("Main")->instantiateInitialViewController();
    show(root_);
    folders_ = std::static_pointer_cast<FoldersViewController>(FoldersViewController::instance()->shared());
  }
  ui::NavigationController& master() { return *folders_->navigationController(); }
  // The master side's top screen, inside a pushed navigation controller too.
  std::shared_ptr<ui::ViewController> top() {
    auto controller = master().topViewController();
    while (auto nav = std::dynamic_pointer_cast<ui::NavigationController>(controller)) controller = nav->topViewController();
    return controller;
  }
  std::string screen() const { return ui::ScreenText::render(); }
  bool onScreen(const std::string& text) const { return screen().find(text) != std::string::npos; }

  // What a relaunch would read: the folders' titles in order on a second stack.
  std::vector<std::string> storedFolders() const {
    StoreStack stack(device_path() + "/Notes.sqlite");
    return titlesOf(NTData::fetchSortedFolders(*stack.context));
  }
  size_t storedNotes() const {
    StoreStack stack(device_path() + "/Notes.sqlite");
    return NTData::countTotalNotes(*stack.context);
  }

  NotesTestBundle bundle_;
  std::shared_ptr<AppDelegate> app_ = std::make_shared<AppDelegate>();
  std::shared_ptr<ui::ViewController> root_;
  std::shared_ptr<FoldersViewController> folders_;

 private:
  std::string device_path() const {
    return const_cast<FoldersScreenTest*>(this)->device().device().documentsDirectory();
  }

  static void registerBoard(bool pad) {
    auto board = ui::Storyboard::named("Main");
    std::weak_ptr<ui::Storyboard> weak = board;
    board->registerScene("FoldersViewController", [] { return std::make_shared<FoldersViewController>(); });
    board->registerScene("NotesViewController", [] { return std::make_shared<NotesViewController>(); });
    board->registerScene("DetailViewController", [] { return std::make_shared<DetailViewController>(); });
    board->registerScene("DetailNavigationController", [weak]() -> std::shared_ptr<ui::ViewController> {
      return std::make_shared<ui::NavigationController>(weak.lock()->instantiateViewController("DetailViewController"));
    });
    board->registerScene(
        "Root",
        [weak, pad]() -> std::shared_ptr<ui::ViewController> {
          auto owner = weak.lock();
          auto master = std::make_shared<ui::NavigationController>(owner->instantiateViewController("FoldersViewController"));
          if (!pad) return master;
          auto split = std::make_shared<ui::SplitViewController>();
          split->setViewControllers({master, owner->instantiateViewController("DetailNavigationController")});
          return split;
        },
        true);
    board->registerSegue("FoldersViewController", {"show", ui::SegueKind::Show, "NotesViewController", true});
    board->registerSegue("FoldersViewController", {"showNotAnimated", ui::SegueKind::Show, "NotesViewController", false});
    board->registerSegue("NotesViewController", {"showDetail", ui::SegueKind::ShowDetail, "DetailNavigationController", true});
    SettingsStoryboard::registerScenes(*board, {"FoldersViewController", "NotesViewController"});
  }
};

}  // namespace notes::testing
