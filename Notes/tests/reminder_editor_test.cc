// The reminder editor through the input layer: the date picker in an alert
// view, "Done" and "Remove Reminder" saving the note's reminder date into
// the store on disk and rebuilding the pending reminders; cancelling; and,
// without permission, the alert that leads to the settings.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Libraries/UIComponents/QBAlertView.h"
#include "Libraries/UIComponents/QBAlertViewController.h"
#include "Notes/AppDelegate.h"
#include "Notes/NTData.h"
#include "Notes/tests/NotesTestStore.h"
#include "Platform/CoreData/FetchRequest.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/DatePicker.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/SystemColors.h"
#include "Platform/UIKit/VisualEffectView.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using ui::Input;

class ReminderEditorTest : public ui::testing::InterfaceTest {
 protected:
  ReminderEditorTest() {
    show(std::make_shared<ui::ViewController>());
    center_->setAuthorizationStatus(un::AuthorizationStatus::Authorized);
  }
  ~ReminderEditorTest() override { settle(); }

  cd::ManagedObjectContext& ctx() { return *app_->managedObjectContext(); }
  ns::Date now() const { return ns::Date::now(); }

  std::shared_ptr<NTNote> savedNote(const std::string& text, std::optional<ns::Date> reminder) {
    auto note = NTData::insertNewNoteAtIndex(ctx(), 0, nullptr);
    ns::AttributedString body(text);
    note->setText(&body);
    note->setReminderDate(reminder);
    EXPECT_TRUE(NTData::saveContext(ctx()));
    settle();
    return note;
  }

  // Runs the main queue and the notification centre's answers.
  void settle() {
    for (int i = 0; i < 3; ++i) {
      center_->flush();
      Input::settle();
    }
  }

  void openEditor(const std::shared_ptr<NTNote>& note) {
    done_.reset();
    openedAt_ = now();
    app_->showReminderEditorForNote(note, [this](bool cancelled) { done_ = cancelled; });
    settle();
  }

  // The alert view on screen, through its window's controller.
  std::shared_ptr<QBAlertView> shownAlert() const {
    auto key = ui::Application::shared().keyWindow();
    auto* controller = key ? dynamic_cast<QBAlertViewController*>(key->rootViewController().get()) : nullptr;
    return controller ? controller->alertView() : nullptr;
  }

  // The reminder date as a second reader of the store file sees it.
  std::optional<ns::Date> storedReminder(const std::string& title) const {
    notes::testing::StoreStack reader(app_->storeURL().path());
    cd::FetchRequest request(NTNote::kEntityName);
    auto notes = reader.context->executeFetchRequest(request, nullptr);
    EXPECT_TRUE(notes);
    for (const auto& o : notes ? *notes : std::vector<std::shared_ptr<cd::ManagedObject>>{}) {
      auto note = std::dynamic_pointer_cast<NTNote>(o);
      if (note && note->title() == title) return note->reminderDate();
    }
    ADD_FAILURE() << "no note " << title;
    return std::nullopt;
  }

  std::optional<ns::Date> pendingReminderDate() const {
    auto pending = center_->pendingRequests();
    if (pending.empty()) return std::nullopt;
    EXPECT_EQ(pending.size(), 1u);
    return pending.front().trigger->nextTriggerDate(ns::Date::now());
  }

  std::shared_ptr<AppDelegate> app_ = std::make_shared<AppDelegate>();
  std::shared_ptr<un::UserNotificationCenter> center_ = un::UserNotificationCenter::currentNotificationCenter();
  std::optional<bool> done_;
  ns::Date openedAt_;
};

TEST_F(ReminderEditorTest, PickerStartsAtTheReminderOrNowAndOffersRemoveOnlyWithAReminder) {
  // Without a reminder the picker starts at now, which lies before the
  // earliest date allowed (six minutes ahead), so it shows that one.
  struct Case {
    const char* name;
    std::optional<double> reminderIn;  // seconds from now
    bool offersRemove;
  };
  const Case cases[] = {
      {"note with a reminder", 7200, true},
      {"note without a reminder", std::nullopt, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<ns::Date> reminder;
    if (c.reminderIn) reminder = now().addingTimeInterval(*c.reminderIn);
    auto note = savedNote(std::string("Dentist ") + c.name, reminder);
    openEditor(note);
    auto alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "");
    EXPECT_EQ(alert->message(), *note->title());
    EXPECT_EQ(alert->style(), QBAlertViewStyle::Alert);
    EXPECT_TRUE(alert->backgroundColor->isEqual(*ui::secondarySystemBackgroundColor()));
    auto picker = std::dynamic_pointer_cast<ui::DatePicker>(alert->innerView());
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->mode(), ui::DatePickerMode::DateAndTime);
    EXPECT_EQ(picker->minuteInterval(), 5);
    EXPECT_EQ(picker->minimumDate(), openedAt_.addingTimeInterval(360));
    EXPECT_EQ(picker->date(), reminder ? *reminder : openedAt_.addingTimeInterval(360));
    std::string screen = ui::ScreenText::render();
    EXPECT_NE(screen.find(*note->title()), std::string::npos) << screen;
    EXPECT_NE(Input::find("Done"), nullptr) << screen;
    EXPECT_EQ(Input::find("Remove Reminder") != nullptr, c.offersRemove) << screen;
    EXPECT_EQ(alert->cancelButtonTitle(), "");
    EXPECT_FALSE(done_.has_value()) << "nothing is answered before a choice";
    // An earlier date cannot be picked.
    picker->pick(openedAt_.addingTimeInterval(60));
    EXPECT_EQ(picker->date(), openedAt_.addingTimeInterval(360));
    alert->dismiss();
  }
}

TEST_F(ReminderEditorTest, DoneSetsTheReminderSavesItAndSchedulesIt) {
  auto note = savedNote("Call the bank", std::nullopt);
  EXPECT_EQ(pendingReminderDate(), std::nullopt);
  openEditor(note);
  auto picker = std::dynamic_pointer_cast<ui::DatePicker>(shownAlert()->innerView());
  ns::Date when = now().addingTimeInterval(3 * 3600);
  picker->pick(when);
  ASSERT_TRUE(Input::tap("Done")) << Input::lastFailure();
  settle();
  EXPECT_EQ(done_, false);
  EXPECT_EQ(note->reminderDate(), when);
  EXPECT_FALSE(ctx().hasChanges());
  EXPECT_EQ(storedReminder("Call the bank"), when);
  EXPECT_EQ(pendingReminderDate(), when);
  EXPECT_EQ(shownAlert(), nullptr) << "the editor is gone";
  EXPECT_EQ(Input::find("Done"), nullptr);
}

TEST_F(ReminderEditorTest, RemoveReminderClearsItSavesAndUnschedules) {
  ns::Date when = now().addingTimeInterval(3600);
  auto note = savedNote("Pick up parcel", when);
  ASSERT_EQ(pendingReminderDate(), when);
  openEditor(note);
  ASSERT_TRUE(Input::tap("Remove Reminder")) << Input::lastFailure();
  settle();
  EXPECT_EQ(done_, false);
  EXPECT_EQ(note->reminderDate(), std::nullopt);
  EXPECT_EQ(storedReminder("Pick up parcel"), std::nullopt);
  EXPECT_EQ(pendingReminderDate(), std::nullopt);
}

TEST_F(ReminderEditorTest, CancelAndALateDoneLeaveTheReminderAlone) {
  struct Case {
    const char* name;
    double waitBeforeChoosing;  // seconds
    bool tapCover;
    bool expectedDone;
  };
  const Case cases[] = {
      {"tap beside the panel", 0, true, true},
      // The picked date (six minutes ahead) has passed by the time of
      // "Done": nothing is set, yet the editor ended without cancelling.
      {"done after the picked date passed", 7 * 60, false, false},
  };
  ns::Date when = now().addingTimeInterval(24 * 3600);
  auto note = savedNote("Water the plants", when);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    openEditor(note);
    auto alert = shownAlert();
    ASSERT_TRUE(alert);
    auto picker = std::dynamic_pointer_cast<ui::DatePicker>(alert->innerView());
    picker->pick(now());  // clamped to six minutes ahead
    advance(c.waitBeforeChoosing);
    if (c.tapCover)
      ASSERT_TRUE(Input::tapView(*alert->backgroundView()));
    else
      ASSERT_TRUE(Input::tap("Done")) << Input::lastFailure();
    settle();
    EXPECT_EQ(done_, c.expectedDone);
    EXPECT_EQ(note->reminderDate(), when);
    EXPECT_EQ(storedReminder("Water the plants"), when);
    EXPECT_EQ(shownAlert(), nullptr);
  }
}

TEST_F(ReminderEditorTest, WithoutPermissionTheSettingsAlertIsShownAndTheBlockAnsweredAtOnce) {
  for (auto status : {un::AuthorizationStatus::Denied, un::AuthorizationStatus::NotDetermined}) {
    SCOPED_TRACE(static_cast<int>(status));
    center_->setAuthorizationStatus(status);
    auto note = savedNote("Taxes", std::nullopt);
    openEditor(note);
    EXPECT_EQ(done_, true);
    EXPECT_EQ(shownAlert(), nullptr) << "no picker without permission";
    auto alert = std::dynamic_pointer_cast<ui::AlertController>(window_->rootViewController()->presentedViewController());
    ASSERT_TRUE(alert) << ui::ScreenText::render();
    EXPECT_EQ(alert->title(), "To set a reminder you should allow notifications for this app in device settings");
    EXPECT_EQ(alert->message(), "");
    EXPECT_EQ(alert->preferredStyle(), ui::AlertControllerStyle::Alert);
    ASSERT_EQ(alert->actions().size(), 2u);
    EXPECT_EQ(alert->actions()[0]->title(), "Settings");
    EXPECT_EQ(alert->actions()[0]->style(), ui::AlertActionStyle::Default);
    EXPECT_EQ(alert->actions()[1]->title(), "Cancel");
    EXPECT_EQ(alert->actions()[1]->style(), ui::AlertActionStyle::Cancel);
    ASSERT_TRUE(Input::tap("Settings")) << Input::lastFailure();
    EXPECT_EQ(ui::Application::shared().openedURLs().back(), ui::kOpenSettingsURLString);
    EXPECT_EQ(window_->rootViewController()->presentedViewController(), nullptr);
    EXPECT_EQ(note->reminderDate(), std::nullopt);
  }
}

TEST_F(ReminderEditorTest, PermissionAlertGoesOnTopOfWhatIsPresented) {
  center_->setAuthorizationStatus(un::AuthorizationStatus::Denied);
  auto sheet = std::make_shared<ui::ViewController>();
  window_->rootViewController()->presentViewController(sheet, false);
  openEditor(savedNote("Taxes", std::nullopt));
  EXPECT_TRUE(std::dynamic_pointer_cast<ui::AlertController>(sheet->presentedViewController()));
  ASSERT_TRUE(Input::tap("Cancel")) << Input::lastFailure();
  EXPECT_EQ(sheet->presentedViewController(), nullptr);
  EXPECT_TRUE(ui::Application::shared().openedURLs().empty());
}

}  // namespace
