// The application delegate: the launch sequence and the lifecycle, opening
// files, the quick action, the split view's collapse rule, the owner of the
// notes store (the container "Notes" with "Notes.sqlite" in Documents and
// its view context, the one context of the interface) and of the
// reminders, as the notification centre's delegate. One per process,
// reached through instance().
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "Libraries/AppSupportKit/TXKit.h"
#include "Notes/NTFolder.h"
#include "Notes/NTNote.h"
#include "Platform/CoreData/PersistentContainer.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/URL.h"
#include "Platform/UIKit/ApplicationDelegate.h"
#include "Platform/UIKit/SplitViewController.h"
#include "Platform/UserNotifications/UserNotificationCenter.h"

namespace ui {
class Window;
}

class AppDelegate : public ui::ApplicationDelegate,
                    public ui::SplitViewControllerDelegate,
                    public un::NotificationCenterDelegate,
                    public TXKitDelegate,
                    public std::enable_shared_from_this<AppDelegate> {
 public:
  // The quick action's type.
  static constexpr const char* kNewNoteShortcutType = "com.tavrix.Quillbox.NewNote";
  // The kit's remote configuration: the path is fixed, the host ours.
  static constexpr const char* kRemoteConfigURL = "http://config.tavrix.example/a/config/tavrix.Pennalo.plist";
  static constexpr const char* kAppStoreID = "1189034522";
  static constexpr const char* kAffiliateToken = "p4wq7z";

  AppDelegate() = default;
  ~AppDelegate() override;

  // The shared application's delegate; null when it is not one.
  static std::shared_ptr<AppDelegate> instance();

  std::shared_ptr<ui::Window> window() const override { return window_; }
  void setWindow(std::shared_ptr<ui::Window> window) override { window_ = std::move(window); }

  // ---- Launch and lifecycle.
  // Installs the app-wide appearance before anything is shown.
  bool willFinishLaunching(ui::Application& application, const ns::Dictionary& options) override;
  // The launch sequence, in its order; always true.
  bool didFinishLaunching(ui::Application& application, const ns::Dictionary& options) override;
  // An automatic backup when one is due.
  void willResignActive(ui::Application& application) override;
  // Tells the root split view (which puts the lock in front).
  void didEnterBackground(ui::Application& application) override;
  void willEnterForeground(ui::Application& application) override;
  // Imports handed-over notes now, and one second later clears due
  // reminders and renumbers the display orders.
  void didBecomeActive(ui::Application& application) override;
  // Saves the main context.
  void willTerminate(ui::Application& application) override;
  // Only openURL among the calls it may answer for, so those who stand
  // between the application and its delegate pass that call on.
  bool respondsToSelector(std::string_view selector) const override;
  // Any URL goes to the backup viewer as a backup; always true.
  bool openURL(ui::Application& application, const std::string& url, const ns::Dictionary& options) override;
  // "com.tavrix.Quillbox.NewNote": a new note in the default folder, shown;
  // other types do nothing. Completes with true either way.
  void performActionForShortcutItem(ui::Application& application, const ui::ShortcutItem& item,
                                    std::function<void(bool succeeded)> completion) override;
  // Takes the collapsed detail only when it is an editor showing no note,
  // so a shown note stays on screen.
  bool collapseSecondaryViewController(ui::SplitViewController& split, ui::ViewController& secondary,
                                       ui::ViewController& primary) override;
  // The first-run folder "Notes" with the first note, shown (the note on a
  // pad, the folder on a phone).
  void installInitialData();

  ns::URL applicationDocumentsDirectory() const;
  ns::URL storeURL() const;
  // A new dictionary on each call: automatic migration, inferred mapping,
  // file protection until first unlock.
  ns::Dictionary storeOptions() const;
  // Created on the first call (under the object's lock), with the store
  // loaded and the reminder observer on the view context's saves.
  std::shared_ptr<cd::PersistentContainer> persistentContainer();
  // Why the store could not be loaded (a damaged or unreadable
  // "Notes.sqlite"); absent while it works. The app then keeps the file as
  // it is and accepts no edit it could not save: the launch adds nothing,
  // an alert gives the error, the interface takes no touch, quick actions
  // and handed-over notes wait for a later launch.
  std::optional<ns::Error> storeLoadError();
  std::shared_ptr<cd::ManagedObjectContext> managedObjectContext();
  // A cloud account is signed in on the device.
  bool isICloudAvailable() const;
  // Starts the backups' iCloud switch when the state differs, then calls
  // the block at once with no error; a started switch calls it again when
  // it ends.
  void enableICloud(bool enable, std::function<void(const ns::Error*)> completionBlock);

  // Rebuilds the pending reminder requests from the notes' future reminder
  // dates and clears dates that passed; runs after every save of the main
  // context. Each note's request is identified by the note itself, so a
  // note never has two pending reminders.
  void clearPastNotificationsAndScheduleLocalNotifications();
  // Clears reminder dates that are due, saving when one was.
  void clearPastNotifications();
  // The request of a note's reminder (its date must be set).
  static un::NotificationRequest reminderRequestForNote(const NTNote& note);

  // Notification centre: present in front as an alert only; open the note
  // of a tapped reminder and clear its date.
  void willPresentNotification(un::UserNotificationCenter& center, const un::Notification& notification,
                               std::function<void(unsigned)> completionHandler) override;
  void didReceiveNotificationResponse(un::UserNotificationCenter& center, const un::NotificationResponse& response,
                                      std::function<void()> completionHandler) override;

  // The reminder editor (AppDelegateReminderEditor.cc): with permission a
  // date picker in an alert view offering "Done" and, for a note with a
  // reminder, "Remove Reminder"; the block gets NO after either and YES when
  // cancelled. Without permission an alert leads to the settings and the
  // block gets YES at once. The block may be null.
  void showReminderEditorForNote(const std::shared_ptr<NTNote>& note, std::function<void(bool)> doneHandler);

 private:
  void moveStandardDefaultsToGroup();
  void adoptFolderlessNotes();
  void migrateFromPreviousVersion();
  void importHandedOverNotes();
  void refuseEditsOfUnloadedStore(const ns::Error& error);
  // A save of the main context failed: the person is told, once until a
  // save succeeds again; the changes stay in the context.
  void tellSaveFailed(const std::string& storeError);

  std::shared_ptr<ui::Window> window_;
  std::recursive_mutex mutex_;
  std::shared_ptr<cd::PersistentContainer> container_;
  std::optional<ns::Error> storeLoadError_;
  ns::NotificationCenter::TokenPtr saveObserver_;
  ns::NotificationCenter::TokenPtr saveFailureObserver_;
  bool saveFailureTold_ = false;  // main thread
};
