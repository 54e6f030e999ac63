// The reminder editor of AppDelegate: a date-and-time picker inside an
// alert view when notifications are allowed, else an alert that leads to
// the app's page of the device settings.
#include "Libraries/AppSupportKit/NSDateUtilities.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Libraries/UIComponents/QBAlertView.h"
#include "Notes/AppDelegate.h"
#include "Notes/Localized.h"
#include "Notes/NTData.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/DatePicker.h"
#include "Platform/UIKit/SystemColors.h"

namespace {

using DoneHandler = std::function<void(bool)>;

constexpr int kMinuteInterval = 5;
// The earliest reminder lies this far ahead, so it cannot pass while the
// picker is still open for a moment.
constexpr int64_t kMinimumMinutesAhead = 6;

using notes::localized;

void finish(const DoneHandler& done, bool cancelled) {
  if (done) done(cancelled);
}

void saveNote(NTNote& note) {
  if (auto* context = note.managedObjectContext()) NTData::saveContext(*context);
}

void showDatePicker(const std::shared_ptr<NTNote>& note, const DoneHandler& done) {
  auto picker = std::make_shared<ui::DatePicker>();
  picker->setMode(ui::DatePickerMode::DateAndTime);
  picker->setMinuteInterval(kMinuteInterval);
  picker->setMinimumDate(NSDateUtilities::dateByAddingMinutes(ns::Date::now(), kMinimumMinutesAhead));
  picker->setDate(note->reminderDate().value_or(ns::Date::now()));

  std::string removeTitle = note->reminderDate() ? localized("Remove Reminder") : std::string();
  auto alert = QBAlertView::alertViewWithViewAndTitle("", note->title().value_or(""), QBAlertViewStyle::Alert,
                                                      picker, {localized("Done")}, "", removeTitle);
  // The picker lives in the alert; the handlers reach it through the alert
  // so that they hold nothing the alert does not already own.
  alert->setHandlers(
      [note, done](QBAlertView& a, uint64_t, const std::string&) {
        if (auto p = std::dynamic_pointer_cast<ui::DatePicker>(a.innerView())) {
          ns::Date date = p->date();
          if (NSDateUtilities::isInFuture(date)) {
            note->setReminderDate(date);
            saveNote(*note);
          }
        }
        finish(done, false);
      },
      [done](QBAlertView&) { finish(done, true); },
      [note, done](QBAlertView&) {
        note->setReminderDate(std::nullopt);
        saveNote(*note);
        finish(done, false);
      });
  alert->backgroundColor = ui::secondarySystemBackgroundColor();
  alert->showAnimated(true, nullptr);
}

void showPermissionAlert(const DoneHandler& done) {
  auto alert = ui::AlertController::make(
      localized("To set a reminder you should allow notifications for this app in device settings"), "",
      ui::AlertControllerStyle::Alert);
  alert->addAction(ui::AlertAction::make(localized("Settings"), ui::AlertActionStyle::Default, [](ui::AlertAction&) {
    ui::Application::shared().openURL(ui::kOpenSettingsURLString);
  }));
  alert->addAction(ui::AlertAction::make(TXKit::bundle()->localizedString("Cancel", "", "TXKit"),
                                         ui::AlertActionStyle::Cancel));
  if (auto top = TXUIManager::topmostViewController()) top->presentViewController(alert, true);
  finish(done, true);
}

}  // namespace

void AppDelegate::showReminderEditorForNote(const std::shared_ptr<NTNote>& note, std::function<void(bool)> doneHandler) {
  auto center = un::UserNotificationCenter::currentNotificationCenter();
  center->getNotificationSettings([note, doneHandler](un::NotificationSettings settings) {
    // The answer comes on the centre's queue; views are made on the main queue.
    dispatch::Queue::main()->async([note, doneHandler, settings] {
      if (settings.authorizationStatus != un::AuthorizationStatus::Authorized) return showPermissionAlert(doneHandler);
      // Without a note there is nothing to edit: as if cancelled.
      if (!note) return finish(doneHandler, true);
      showDatePicker(note, doneHandler);
    });
  });
}
