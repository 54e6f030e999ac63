// The application delegate: owner of the notes store (the container
// "Notes" with "Notes.sqlite" in Documents and its view context, the one
// context of the interface) and of the reminders, as the notification
// centre's delegate. The launch and lifecycle operations join this class
// with their own work.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "Notes/NTNote.h"
#include "Platform/CoreData/PersistentContainer.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/URL.h"
#include "Platform/UserNotifications/UserNotificationCenter.h"

class AppDelegate : public un::NotificationCenterDelegate, public std::enable_shared_from_this<AppDelegate> {
 public:
  AppDelegate() = default;
  ~AppDelegate() override;

  ns::URL applicationDocumentsDirectory() const;
  ns::URL storeURL() const;
  // A new dictionary on each call: automatic migration, inferred mapping,
  // file protection until first unlock.
  ns::Dictionary storeOptions() const;
  // Created on the first call (under the object's lock), with the store
  // loaded and the reminder observer on the view context's saves.
  std::shared_ptr<cd::PersistentContainer> persistentContainer();
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

  // The reminder editor. Without permission the done block gets YES at
  // once. Seam: with permission the date picker in an alert view comes with
  // the alert view; today nothing is shown and the block is not called.
  void showReminderEditorForNote(const std::shared_ptr<NTNote>& note, std::function<void(bool)> doneHandler);

 private:
  std::recursive_mutex mutex_;
  std::shared_ptr<cd::PersistentContainer> container_;
  ns::NotificationCenter::TokenPtr saveObserver_;
};
