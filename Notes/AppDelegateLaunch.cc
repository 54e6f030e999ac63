// The launch sequence and the lifecycle of the application delegate.
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Libraries/UIComponents/QBAlertView.h"
#include "Libraries/UIComponents/QBProgressHUD.h"
#include "Notes/AppDelegate.h"
#include "Notes/Localized.h"
#include "Notes/ClassNameTransformer.h"
#include "Notes/DetailViewController.h"
#include "Notes/FoldersViewController.h"
#include "Notes/HandOverImport.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTBackupsManager.h"
#include "Notes/NTData.h"
#include "Notes/NTSettings.h"
#include "Notes/SettingsBackupViewController.h"
#include "Notes/SplitViewController.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/Window.h"

namespace {

constexpr int64_t kLastBuildWithStandardDefaults = 24;
constexpr int64_t kLastBuildWithICloudSetting = 19;
constexpr int64_t kLastBuildWithPasscodeInDefaults = 24;
constexpr int64_t kTidyUpDelayNanos = 1000000000;
constexpr const char* kAddIconName = "UIApplicationShortcutIconTypeAdd";

using notes::localized;

}  // namespace

std::shared_ptr<AppDelegate> AppDelegate::instance() {
  return std::dynamic_pointer_cast<AppDelegate>(ui::Application::shared().delegate());
}

bool AppDelegate::willFinishLaunching(ui::Application&, const ns::Dictionary&) {
  NTAppearance::load();
  return true;
}

bool AppDelegate::didFinishLaunching(ui::Application& application, const ns::Dictionary& options) {
  // 1. Before anything can open the store.
  ClassNameTransformer::registerTransformer();
  // What a backup killed in an earlier run left, before one can start.
  NTBackupsManager::removeInterruptedBackups();

  // 2. The one quick action.
  ui::ShortcutItem newNote;
  newNote.type = kNewNoteShortcutType;
  newNote.localizedTitle = localized("New Note");
  newNote.iconName = kAddIconName;
  application.setShortcutItems({newNote});

  // 3. Settings of older builds lived in the standard defaults.
  if (TXKit::isAppVersionUpdated() && TXKit::previousVersion() <= kLastBuildWithStandardDefaults)
    moveStandardDefaultsToGroup();

  // 4.
  QBProgressHUD::setDefaultMaskType(QBProgressHUDMaskType::Black);

  // 5.
  auto self = shared_from_this();
  un::UserNotificationCenter::currentNotificationCenter()->setDelegate(self);

  // 6.
  TXKit::sharedInstance().launchWithLaunchOptions(
      options, kRemoteConfigURL, kAppStoreID, NTSettings::userDefaults()->stringForKey(NTSettings::kSupportEmailKey).value_or(""),
      kAffiliateToken, "", 10, {}, false, 10, 1.0f, NTAppearance::tintColor(), false, self);

  // 7. The answer changes nothing here.
  un::UserNotificationCenter::currentNotificationCenter()->requestAuthorization([](bool, const ns::Error*) {});

  // 8.
  NTBackupsManager::downloadCloudBackupsWhenAvailable();

  // 9. The split view.
  if (window_) {
    if (auto split = std::dynamic_pointer_cast<ui::SplitViewController>(window_->rootViewController())) {
      if (!split->viewControllers().empty())
        if (auto* nav = dynamic_cast<ui::NavigationController*>(split->viewControllers().back().get()))
          if (auto top = nav->topViewController())
            top->navigationItem().setLeftBarButtonItem(split->displayModeButtonItem());
      split->setDelegate(std::static_pointer_cast<ui::SplitViewControllerDelegate>(self));
    }
  }

  if (auto error = storeLoadError()) {
    // What steps 10 and 11 would add could never be saved.
    refuseEditsOfUnloadedStore(*error);
  } else {
    // 10.
    if (TXKit::isAppOnFirstLaunch()) installInitialData();

    // 11.
    adoptFolderlessNotes();

    // A note left empty by a run killed while it was open: the app deletes
    // empty notes when a person leaves them, and this one was left.
    NTData::deleteEmptyNotes(*managedObjectContext());
  }

  // 12.
  if (TXKit::isAppVersionUpdated()) migrateFromPreviousVersion();

  // 13.
  TXKit::acceptCurrentVersion();
  return true;
}

// The store's file stays as it is, so that a repair or a backup can still
// save what it holds; meanwhile the app shows why and takes no input that
// would change notes it cannot save.
void AppDelegate::refuseEditsOfUnloadedStore(const ns::Error& error) {
  if (window_) window_->setUserInteractionEnabled(false);
  std::string message = error.localizedDescription() + "\n\n" +
                        localized("Quillbox keeps the file as it is and changes nothing until it can be opened.");
  QBAlertView::alertViewWithTitle(localized("Your notes could not be opened"), message, QBAlertViewStyle::Alert, {},
                                  TXKit::bundle()->localizedString("OK", "", "TXKit"), "")
      ->show();
}

// Nothing the person wrote is thrown away: it waits in the context for the
// next save the store takes (one when the app resigns, leaves a note or
// quits). Said once until then, not at every keystroke's save.
void AppDelegate::tellSaveFailed(const std::string& storeError) {
  if (saveFailureTold_) return;
  saveFailureTold_ = true;
  std::string message = storeError + "\n\n" + localized("Quillbox keeps your changes and saves them as soon as it can.");
  QBAlertView::alertViewWithTitle(localized("Your changes could not be saved"), message, QBAlertViewStyle::Alert, {},
                                  TXKit::bundle()->localizedString("OK", "", "TXKit"), "")
      ->show();
}

void AppDelegate::moveStandardDefaultsToGroup() {
  auto bundleIdentifier = ns::Bundle::mainBundle()->bundleIdentifier();
  if (!bundleIdentifier) return;
  auto domain = ns::UserDefaults::standardUserDefaults()->persistentDomainForName(*bundleIdentifier);
  auto group = NTSettings::userDefaults();
  if (domain)
    for (const auto& [key, value] : *domain) group->setObject(value, key);
  group->synchronize();
}

void AppDelegate::installInitialData() {
  auto context = managedObjectContext();
  auto folder = NTData::insertNewFolderAtIndex(*context, 0);
  folder->setTitle(localized("Notes"));
  std::string text = ns::format("%@\n\n%@\n\n%@\n\n%@", localized("This is your first note."),
                                localized("Tap anywhere to edit the note."),
                                localized("Font is too small?\nAdjust font size & style in settings."),
                                localized("To keep your notes private, enable passcode in settings (gear icon at the "
                                          "top of the notes list)."));
  ns::AttributedString attributed(text, NTSettings::noteTextAttributes());
  auto note = NTData::insertNewNoteAtIndex(*context, 0, folder);
  note->setText(&attributed);
  NTData::saveContext(*context);
  auto* folders = FoldersViewController::instance();
  if (!folders) return;
  if (TXKit::iPad()) folders->showNote(note, false);
  else folders->showFolder(folder, false);
}

void AppDelegate::adoptFolderlessNotes() {
  auto context = managedObjectContext();
  if (!NTData::fetchSortedFolders(*context).empty()) return;
  auto notes = NTData::fetchSortedNotesInFolder(*context, nullptr);
  auto folder = NTData::insertNewFolderAtIndex(*context, 0);
  folder->setTitle(localized("Notes"));
  // The notes keep their orders; the tidy-up after activation renumbers them.
  for (const auto& note : notes) note->setFolder(folder);
  NTData::saveContext(*context);
}

void AppDelegate::migrateFromPreviousVersion() {
  auto defaults = NTSettings::userDefaults();
  int64_t previous = TXKit::previousVersion();
  if (previous <= kLastBuildWithICloudSetting && defaults->boolForKey(NTSettings::kUseICloudKey) &&
      !NTBackupsManager::backupsUseICloud())
    NTBackupsManager::setBackupsUseICloud(true, nullptr);
  if (previous <= kLastBuildWithPasscodeInDefaults) {
    // Missing values become empty strings in the keychain.
    NTSettings::setPinNumber(defaults->stringForKey(NTSettings::kLegacyPinNumberKey).value_or(""));
    NTSettings::setSecurityQuestion(defaults->stringForKey(NTSettings::kLegacyPinSecurityQuestionKey).value_or(""));
    NTSettings::setSecurityAnswer(defaults->stringForKey(NTSettings::kLegacyPinSecurityAnswerKey).value_or(""));
  }
}

void AppDelegate::willResignActive(ui::Application&) { NTBackupsManager::autoBackupIfNeeded(nullptr); }

void AppDelegate::didEnterBackground(ui::Application& application) {
  if (!window_) return;
  if (auto split = std::dynamic_pointer_cast<SplitViewController>(window_->rootViewController()))
    split->applicationDidEnterBackground(application);
}

void AppDelegate::willEnterForeground(ui::Application&) {}

void AppDelegate::didBecomeActive(ui::Application&) {
  std::weak_ptr<AppDelegate> weak = weak_from_this();
  // Not cancelled when the app resigns meanwhile.
  dispatch::Queue::main()->after(kTidyUpDelayNanos, [weak] {
    auto self = weak.lock();
    if (!self) return;
    self->clearPastNotifications();
    NTData::fixDisplayOrders(*self->persistentContainer()->viewContext());
  });
  // Handed-over notes are deleted once imported: they wait for a store
  // that saves them.
  if (!storeLoadError()) importHandedOverNotes();
}

void AppDelegate::importHandedOverNotes() { HandOverImport::importNotes(*managedObjectContext()); }

void AppDelegate::willTerminate(ui::Application&) { NTData::saveContext(*managedObjectContext()); }

bool AppDelegate::respondsToSelector(std::string_view selector) const {
  return selector == ui::kOpenURLOptionsSelector;
}

bool AppDelegate::openURL(ui::Application&, const std::string& url, const ns::Dictionary&) {
  auto parsed = ns::URL::withString(url);
  if (!parsed || parsed->scheme().empty()) parsed = ns::URL::fileURLWithPath(url);
  SettingsBackupViewController::presentBackup(NTBackup(*parsed));
  return true;
}

void AppDelegate::performActionForShortcutItem(ui::Application&, const ui::ShortcutItem& item,
                                               std::function<void(bool succeeded)> completion) {
  if (item.type == kNewNoteShortcutType && !storeLoadError())
    if (auto* folders = FoldersViewController::instance())
      folders->insertNewNoteToFolder(NTData::defaultFolder(*managedObjectContext()), false);
  if (completion) completion(true);
}

bool AppDelegate::collapseSecondaryViewController(ui::SplitViewController&, ui::ViewController& secondary,
                                                  ui::ViewController&) {
  auto* nav = dynamic_cast<ui::NavigationController*>(&secondary);
  if (!nav) return false;
  auto editor = std::dynamic_pointer_cast<DetailViewController>(nav->topViewController());
  return editor && !editor->note();
}
