// The launch sequence and the lifecycle, driven as the host program does:
// the storyboard "Main", a fresh device, applicationMain with the delegate.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/Archive/VLKeychain.h"
#include "Libraries/UIComponents/QBProgressHUD.h"
#include "Notes/ActionHelper.h"
#include "Notes/AppDelegate.h"
#include "Notes/ClassNameTransformer.h"
#include "Notes/DetailViewController.h"
#include "Notes/FoldersViewController.h"
#include "Notes/NotesViewController.h"
#include "Notes/MainStoryboard.h"
#include "Notes/NTBackupsManager.h"
#include "Notes/NTData.h"
#include "Notes/NTSettings.h"
#include "Notes/SplitViewController.h"
#include "Notes/tests/launch_fixture.h"
#include "Notes/tests/NotesTestStore.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UIKit/ApplicationMain.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using notes::testing::execOnStore;

namespace fs = std::filesystem;
using notes::testing::kFirstNote;
using notes::testing::LaunchTest;
using notes::testing::PadLaunchTest;
using notes::testing::StoreStack;
using notes::testing::titlesOf;

TEST_F(LaunchTest, FirstLaunchCreatesTheFirstFolderAndNoteAndAcceptsTheBuild) {
  launch();
  auto folders = NTData::fetchSortedFolders(context());
  ASSERT_EQ(titlesOf(folders), std::vector<std::string>{"Notes"});
  EXPECT_EQ(notesOf(folders[0]), std::vector<std::string>{kFirstNote});

  // Saved: a second stack on the file reads the same.
  ClassNameTransformer::registerTransformer();
  StoreStack reader(storePath());
  EXPECT_EQ(titlesOf(NTData::fetchSortedFolders(*reader.context)), std::vector<std::string>{"Notes"});
  EXPECT_EQ(NTData::countTotalNotes(*reader.context), 1u);

  // No migration ran: the keychain items were never written.
  EXPECT_FALSE(NTSettings::pinNumber().has_value());
  EXPECT_FALSE(VLKeychain::accountsForService(NTSettings::kSecurityAnswerService).value_or(ns::Array()).size());
  EXPECT_EQ(TXKit::previousVersion(), TXKit::currentVersion());
  EXPECT_FALSE(TXKit::isAppOnFirstLaunch());

  // The launch's other steps.
  auto& application = ui::Application::shared();
  ASSERT_EQ(application.shortcutItems().size(), 1u);
  EXPECT_EQ(application.shortcutItems()[0].type, "com.tavrix.Quillbox.NewNote");
  EXPECT_EQ(application.shortcutItems()[0].localizedTitle, "New Note");
  EXPECT_EQ(QBProgressHUD::sharedView()->defaultMaskType(), QBProgressHUDMaskType::Black);
  EXPECT_EQ(un::UserNotificationCenter::currentNotificationCenter()->delegate(), delegate_);
  EXPECT_EQ(TXKit::sharedInstance().delegate(), delegate_);
  EXPECT_EQ(TXConfig::sharedInstance().valueForGroup("app", "affiliateToken", ns::Value()), ns::Value("p4wq7z"));
  EXPECT_EQ(TXConfig::sharedInstance().valueForGroup("rate", "usesUntilPrompt", ns::Value()), ns::Value(10));
  EXPECT_EQ(application.applicationState(), ui::ApplicationState::Active);
  EXPECT_TRUE(window_->isKeyWindow());
}

TEST_F(LaunchTest, SecondLaunchAddsNothing) {
  launch();
  ui::Application::shared().terminate();
  ui::Application::shared().reset();
  launch();
  EXPECT_EQ(NTData::countTotalFolders(context()), 1u);
  EXPECT_EQ(NTData::countTotalNotes(context()), 1u);
}

TEST_F(LaunchTest, NotesWithoutAFolderAreGatheredIntoANewFolderNotes) {
  preparePreviousBuild(TXKit::kVersionKey, ns::Value(25));
  ClassNameTransformer::registerTransformer();
  {
    StoreStack older(storePath());
    for (const char* text : {"alpha", "beta", "gamma"}) {
      auto note = NTData::insertNewNoteAtIndex(*older.context, 0, nullptr);
      ns::AttributedString s(text);
      note->setText(&s);
    }
    ASSERT_TRUE(NTData::saveContext(*older.context));
  }
  launch();
  StoreStack reader(storePath());
  auto folders = NTData::fetchSortedFolders(*reader.context);
  ASSERT_EQ(titlesOf(folders), std::vector<std::string>{"Notes"});
  EXPECT_EQ(folders[0]->displayOrder(), 0);
  EXPECT_EQ(folders[0]->notes().size(), 3u);
  EXPECT_EQ(NTData::countTotalNotes(*reader.context), 3u);
}

struct UpdateCase {
  const char* name;
  const char* versionKey;
  ns::Value build;
  bool iCloudSwitched;
  bool passcodeCopied;
  bool settingsMoved;
};

class UpdateTest : public LaunchTest, public ::testing::WithParamInterface<UpdateCase> {};

// Every case: "use iCloud" set, backups local, a passcode and question but
// no answer, and a font size, all in the standard defaults where older
// builds kept them.
TEST_P(UpdateTest, MovesSettingsAndPasscodeAndSwitchesBackupsByPreviousBuild) {
  const UpdateCase& c = GetParam();
  auto facts = ns::Device::current().facts();
  facts.iCloudSignedIn = true;
  ns::Device::current().setFacts(facts);
  preparePreviousBuild(c.versionKey, c.build);
  auto standard = ns::UserDefaults::standardUserDefaults();
  standard->setBool(true, NTSettings::kUseICloudKey);
  standard->setObject(ns::Value("1234"), NTSettings::kLegacyPinNumberKey);
  standard->setObject(ns::Value("First pet?"), NTSettings::kLegacyPinSecurityQuestionKey);
  standard->setInteger(31, NTSettings::kFontSizeKey);
  standard->synchronize();
  ASSERT_FALSE(NTBackupsManager::backupsUseICloud());

  launch();
  waitForBackgroundTasks();

  auto group = NTSettings::userDefaults();
  EXPECT_EQ(group->integerForKey(NTSettings::kFontSizeKey) == 31, c.settingsMoved);
  EXPECT_EQ(NTBackupsManager::backupsUseICloud(), c.iCloudSwitched);
  // An absent answer is written too, as an empty item (which reads as none).
  auto answerItems = VLKeychain::accountsForService(NTSettings::kSecurityAnswerService);
  if (c.passcodeCopied) {
    EXPECT_EQ(NTSettings::pinNumber(), "1234");
    EXPECT_EQ(NTSettings::securityQuestion(), "First pet?");
    EXPECT_TRUE(answerItems && answerItems->size() == 1);
  } else {
    EXPECT_FALSE(NTSettings::pinNumber().has_value());
    EXPECT_FALSE(NTSettings::securityQuestion().has_value());
    EXPECT_FALSE(answerItems && !answerItems->empty());
  }
  // The defaults keys stay; the standard defaults are left as they were.
  EXPECT_EQ(standard->stringForKey(NTSettings::kLegacyPinNumberKey), "1234");
  EXPECT_EQ(TXKit::previousVersion(), TXKit::currentVersion());
  // Not a first launch: no first note.
  EXPECT_EQ(NTData::countTotalNotes(context()), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Builds, UpdateTest,
    ::testing::Values(UpdateCase{"Build19", TXKit::kVersionManagerKey, ns::Value(19), true, true, true},
                      UpdateCase{"Build20", TXKit::kVersionKey, ns::Value(20), false, true, true},
                      UpdateCase{"Build24", TXKit::kLegacyVersionKey, ns::Value("24"), false, true, true},
                      UpdateCase{"Build25", TXKit::kVersionKey, ns::Value(25), false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LaunchTest, HandedOverNotesGoToTheTopOfTheDefaultFolderInOneSave) {
  launch();
  // Three packages, listed by name in the order a, b, c.
  fs::path dir = ActionHelper::URLForNotesToImport()->path();
  for (const char* name : {"a", "b", "c"}) {
    ActionHelper::saveNoteForImport(ns::AttributedString(std::string("from ") + name));
    for (auto& entry : fs::directory_iterator(dir))
      if (entry.path().stem().string().size() > 1) fs::rename(entry.path(), dir / (std::string(name) + ".rtfd"));
  }
  int saves = 0;
  auto token = ns::NotificationCenter::defaultCenter().addObserver(
      cd::kManagedObjectContextDidSaveNotification, &context(), nullptr, [&](const ns::Notification&) { ++saves; });
  ui::Input::background();
  ui::Input::foreground();
  ns::NotificationCenter::defaultCenter().removeObserver(token);

  EXPECT_EQ(notesOf(NTData::defaultFolder(context())),
            (std::vector<std::string>{"from c", "from b", "from a", kFirstNote}));
  EXPECT_EQ(saves, 1);
  EXPECT_TRUE(fs::is_empty(dir));
  // Nothing handed over: nothing saved.
  saves = 0;
  token = ns::NotificationCenter::defaultCenter().addObserver(
      cd::kManagedObjectContextDidSaveNotification, &context(), nullptr, [&](const ns::Notification&) { ++saves; });
  ui::Input::background();
  ui::Input::foreground();
  ns::NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(saves, 0);
}

TEST_F(LaunchTest, HandedOverNotesStayUntilASaveHoldsThem) {
  launch();
  ASSERT_TRUE(ActionHelper::saveNoteForImport(ns::AttributedString("shared once")));
  fs::path dir = ActionHelper::URLForNotesToImport()->path();
  // The store refuses new notes, as a full disk would.
  execOnStore(storePath(),
              "CREATE TRIGGER refuse BEFORE INSERT ON \"Note\" BEGIN SELECT RAISE(ABORT, 'disk is full'); END;");
  ui::Input::background();
  ui::Input::foreground();
  // The person is told; the shared text waits for a save that holds it.
  EXPECT_TRUE(ui::Input::tap("OK")) << ui::ScreenText::render();
  EXPECT_EQ(notesOf(NTData::defaultFolder(context())), (std::vector<std::string>{kFirstNote}));
  EXPECT_TRUE(context().insertedObjects().empty());  // no twin waits in the context
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // kept

  // The next activation with a working store imports it, once.
  execOnStore(storePath(), "DROP TRIGGER refuse;");
  ui::Input::background();
  ui::Input::foreground();
  EXPECT_EQ(notesOf(NTData::defaultFolder(context())), (std::vector<std::string>{"shared once", kFirstNote}));
  EXPECT_TRUE(fs::is_empty(dir));
}

// A save the store refuses (a full disk) is said to the person with the
// store's error, once until a save succeeds; what was changed waits in the
// context and the next save that can be written stores all of it.
TEST_F(LaunchTest, AFailedSaveIsSaidOnceAndItsChangesWaitForTheNextSave) {
  launch();
  auto alerts = [] {
    std::string screen = ui::ScreenText::render();
    size_t n = 0;
    for (size_t at = 0; (at = screen.find("Your changes could not be saved", at)) != std::string::npos; ++at) ++n;
    return n;
  };
  auto addNote = [&](const std::string& text) {
    ns::AttributedString body(text);
    NTData::insertNewNoteAtIndex(context(), 0, nullptr)->setText(&body);
    return NTData::saveContext(context());
  };
  execOnStore(storePath(), "CREATE TRIGGER refuse BEFORE INSERT ON \"Note\" BEGIN SELECT RAISE(ABORT, 'disk is full'); END;");
  EXPECT_FALSE(addNote("first"));
  ui::Input::settle();
  EXPECT_EQ(alerts(), 1u) << ui::ScreenText::render();
  for (const char* said : {"insert into Note: disk is full", "Quillbox keeps your changes and saves them as soon as it can."})
    EXPECT_NE(ui::ScreenText::render().find(said), std::string::npos) << said << "\n" << ui::ScreenText::render();
  ASSERT_TRUE(ui::Input::tap("OK"));
  EXPECT_FALSE(addNote("second"));
  ui::Input::settle();
  EXPECT_EQ(alerts(), 0u) << "said once";

  execOnStore(storePath(), "DROP TRIGGER refuse;");
  ui::Input::background();  // nothing of its own to save: the next save comes with a change
  EXPECT_TRUE(addNote("third"));
  StoreStack reader(storePath());
  EXPECT_EQ(NTData::countTotalNotes(*reader.context), 4u) << "the first note, and all three written";

  execOnStore(storePath(), "CREATE TRIGGER refuse BEFORE INSERT ON \"Note\" BEGIN SELECT RAISE(ABORT, 'disk is full'); END;");
  ui::Input::foreground();
  EXPECT_FALSE(addNote("fourth"));
  ui::Input::settle();
  EXPECT_EQ(alerts(), 1u) << "a new failure after a save that worked is said again";
}

TEST_F(LaunchTest, BecomingActiveClearsDueRemindersAndRenumbersOneSecondLater) {
  launch();
  ui::Input::advance(1);  // the launch's own tidy-up
  auto folder = NTData::defaultFolder(context());
  auto first = NTData::fetchSortedNotesInFolder(context(), folder)[0];
  first->setReminderDate(ns::Date::now().addingTimeInterval(30));
  first->setDisplayOrder(7);
  NTData::saveContext(context());
  ui::Input::background();
  ns::Clock::advance(60);  // the reminder falls due meanwhile
  ui::Input::foreground();  // settles half a second: not yet
  EXPECT_TRUE(first->reminderDate().has_value());
  EXPECT_EQ(first->displayOrder(), 7);
  ui::Input::advance(0.6);
  EXPECT_FALSE(first->reminderDate().has_value());
  EXPECT_EQ(first->displayOrder(), 0);
}

TEST_F(LaunchTest, OpeningAFileHandsItToTheBackupViewer) {
  launch();
  std::string file = device().path("Notes 2026-12-01.zip");
  EXPECT_TRUE(ui::Application::shared().deliverOpenURL(ns::URL::fileURLWithPath(file).absoluteString()));
  // The backup screen reads it: a file that is not there ends in the alert.
  EXPECT_TRUE(dispatch::RunLoop::main().runUntil(
      [] { return ui::ScreenText::render().find("Backup file not found.") != std::string::npos; }, 20))
      << ui::ScreenText::render();
  // Said by name, so that whoever stands in front of the delegate passes
  // this call on, and only this one.
  EXPECT_TRUE(AppDelegate::instance()->respondsToSelector(ui::kOpenURLOptionsSelector));
  EXPECT_FALSE(AppDelegate::instance()->respondsToSelector(ui::kContinueUserActivitySelector));
}

TEST_F(LaunchTest, TerminatingSavesTheMainContext) {
  launch();
  auto note = NTData::insertNewNoteAtIndex(context(), 0, NTData::defaultFolder(context()));
  ns::AttributedString text("unsaved until the end");
  note->setText(&text);
  ui::Application::shared().terminate();
  StoreStack reader(storePath());
  EXPECT_EQ(NTData::countTotalNotes(*reader.context), 2u);
}

TEST_F(LaunchTest, CollapseDropsOnlyAnEditorWithoutNote) {
  launch();
  auto editor = std::make_shared<DetailViewController>();
  auto nav = std::make_shared<ui::NavigationController>(editor);
  ui::ViewController primary;
  auto split = std::make_shared<ui::SplitViewController>();
  EXPECT_TRUE(delegate_->collapseSecondaryViewController(*split, *nav, primary));
  editor->setNote(NTData::fetchSortedNotesInFolder(context(), nullptr)[0]);
  EXPECT_FALSE(delegate_->collapseSecondaryViewController(*split, *nav, primary));
  // Only an editor on top of a navigation controller counts.
  EXPECT_FALSE(delegate_->collapseSecondaryViewController(*split, *std::make_shared<DetailViewController>(), primary));
}

TEST_F(LaunchTest, PhoneStartsOnTheMasterSideWithTheEmptyEditorDropped) {
  launch();
  auto split = std::dynamic_pointer_cast<SplitViewController>(window_->rootViewController());
  ASSERT_TRUE(split);
  EXPECT_EQ(SplitViewController::instance(), split.get());
  ASSERT_EQ(split->viewControllers().size(), 1u);
  auto* master = dynamic_cast<ui::NavigationController*>(split->viewControllers()[0].get());
  ASSERT_NE(master, nullptr);
  for (const auto& c : master->viewControllers()) EXPECT_FALSE(std::dynamic_pointer_cast<ui::NavigationController>(c));
}



// The editor on top of the phone's stack (pushed alone or in its own
// navigation controller), or the pad's detail side.
std::shared_ptr<DetailViewController> shownEditor(ui::Window& window) {
  auto split = std::dynamic_pointer_cast<ui::SplitViewController>(window.rootViewController());
  auto top = [](const std::shared_ptr<ui::ViewController>& c) -> std::shared_ptr<ui::ViewController> {
    auto nav = std::dynamic_pointer_cast<ui::NavigationController>(c);
    return nav ? nav->topViewController() : c;
  };
  auto shown = top(split->viewControllers().back());
  if (auto nested = std::dynamic_pointer_cast<ui::NavigationController>(shown)) shown = nested->topViewController();
  return std::dynamic_pointer_cast<DetailViewController>(shown);
}

TEST_F(LaunchTest, FirstLaunchOnAPhoneShowsTheNewFolder) {
  launch();
  auto* folders = FoldersViewController::instance();
  ASSERT_NE(folders, nullptr);
  auto notes = folders->notesViewController();
  ASSERT_TRUE(notes);
  EXPECT_EQ(notes->folder(), NTData::defaultFolder(context()));
  EXPECT_TRUE(notes->isVisible());
  EXPECT_FALSE(shownEditor(*window_));
}

TEST_F(PadLaunchTest, FirstLaunchOnAPadShowsTheFirstNote) {
  launch();
  auto editor = shownEditor(*window_);
  ASSERT_TRUE(editor);
  ASSERT_TRUE(editor->note());
  EXPECT_EQ(editor->note()->string(), kFirstNote);
  EXPECT_TRUE(editor->isVisible());
  EXPECT_NE(ui::ScreenText::render().find("Tap anywhere to edit the note."), std::string::npos)
      << ui::ScreenText::render();
}

TEST_F(LaunchTest, QuickActionOpensANewNoteInTheDefaultFolderOtherTypesDoNothing) {
  launch();
  auto& application = ui::Application::shared();
  application.performShortcut(ui::ShortcutItem{"com.example.Other", "Other", "", "", {}});
  ui::Input::settle();
  EXPECT_TRUE(application.lastShortcutSucceeded());
  EXPECT_EQ(NTData::countTotalNotes(context()), 1u);

  application.performShortcut(application.shortcutItems().at(0));
  ui::Input::settle();
  EXPECT_TRUE(application.lastShortcutSucceeded());
  auto editor = shownEditor(*window_);
  ASSERT_TRUE(editor);
  ASSERT_TRUE(editor->note());
  EXPECT_EQ(editor->note()->folder(), NTData::defaultFolder(context()));
  EXPECT_EQ(NTData::fetchSortedNotesInFolder(context(), NTData::defaultFolder(context()))[0], editor->note());
  EXPECT_TRUE(editor->noteContentTextView().isFirstResponder());
}

}  // namespace
