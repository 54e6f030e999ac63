#include <gtest/gtest.h>

#include <filesystem>

#include "Libraries/CrashReporter/ZOVDodevadarud.h"
#include "Notes/AppDelegate.h"
#include "Notes/NTData.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Calendar.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace {

class RemindersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ns::Clock::useVirtual(now_);
    center_->setAuthorizationStatus(un::AuthorizationStatus::Authorized);
    center_->setDelegate(app_);
  }
  void TearDown() override {
    settle();
    ns::Clock::useReal();
  }
  cd::ManagedObjectContext& ctx() { return *app_->managedObjectContext(); }
  // Runs what the saves queued on the main queue and the centre's answers.
  void settle() {
    for (int i = 0; i < 4; ++i) {
      dispatch::RunLoop::main().runUntil([] { return false; }, 0.05);
      center_->flush();
    }
  }
  std::shared_ptr<NTNote> noteWithReminder(const std::string& text, std::optional<ns::Date> reminder) {
    auto note = NTData::insertNewNoteAtIndex(ctx(), 0, nullptr);
    ns::AttributedString body(text);
    note->setText(&body);
    note->setReminderDate(reminder);
    return note;
  }

  ns::testing::TemporaryDevice device_;
  ns::Date now_ = ns::Date(800000000);  // 2026-05-09 ... UTC, a fixed moment
  std::shared_ptr<AppDelegate> app_ = std::make_shared<AppDelegate>();
  std::shared_ptr<un::UserNotificationCenter> center_ = un::UserNotificationCenter::currentNotificationCenter();
};

TEST_F(RemindersTest, StoreLivesInDocumentsWithItsOptions) {
  auto container = app_->persistentContainer();
  EXPECT_EQ(container, app_->persistentContainer());
  EXPECT_EQ(app_->managedObjectContext(), container->viewContext());
  EXPECT_EQ(container->viewContext()->mergePolicy(), cd::MergePolicy::MergeByPropertyObjectTrump);
  EXPECT_TRUE(container->viewContext()->automaticallyMergesChangesFromParent());
  EXPECT_EQ(app_->storeOptions().size(), 3u);
  EXPECT_EQ(container->persistentStoreDescriptions().front().options().find(cd::kPersistentStoreFileProtectionKey)->stringValue(),
            cd::kFileProtectionCompleteUntilFirstUserAuthentication);
  NTData::insertNewNoteAtIndex(ctx(), 0, nullptr);
  ASSERT_TRUE(NTData::saveContext(ctx()));
  EXPECT_TRUE(std::filesystem::exists(device_.device().documentsDirectory() + "/Notes.sqlite"));
  EXPECT_FALSE(app_->isICloudAvailable());
  int calls = 0;
  app_->enableICloud(false, [&](const ns::Error* e) {
    EXPECT_EQ(e, nullptr);
    ++calls;
  });
  EXPECT_EQ(calls, 1);
}

TEST_F(RemindersTest, SavingSchedulesOneRequestPerFutureReminder) {
  auto future = noteWithReminder("Call the bank\nabout the card", now_.addingTimeInterval(3600));
  auto past = noteWithReminder("Old", now_.addingTimeInterval(-60));
  auto none = noteWithReminder("No reminder", std::nullopt);
  ASSERT_TRUE(NTData::saveContext(ctx()));
  settle();

  EXPECT_EQ(past->reminderDate(), std::nullopt);
  EXPECT_FALSE(ctx().hasChanges());
  auto pending = center_->pendingRequests();
  ASSERT_EQ(pending.size(), 1u);
  const auto& r = pending[0];
  EXPECT_EQ(r.content.body, "It's time to read this note:\nCall the bank\n");
  EXPECT_TRUE(r.content.title.empty());
  EXPECT_TRUE(r.content.defaultSound);
  EXPECT_EQ(r.content.interruptionLevel, un::InterruptionLevel::TimeSensitive);
  EXPECT_EQ(r.content.userInfo, (ns::Dictionary{{"note", ns::Value(future->objectID().URIRepresentation())}}));
  ASSERT_TRUE(r.trigger);
  EXPECT_FALSE(r.trigger->repeats);
  EXPECT_EQ(r.trigger->nextTriggerDate(now_), now_.addingTimeInterval(3600));

  // Rebuilds one after another, and two asked for before either answer
  // runs, still leave one request per note; others' requests stay.
  center_->addNotificationRequest(un::NotificationRequest{"other", {}, std::nullopt});
  app_->clearPastNotificationsAndScheduleLocalNotifications();
  app_->clearPastNotificationsAndScheduleLocalNotifications();
  future->setReminderDate(now_.addingTimeInterval(7200));
  ASSERT_TRUE(NTData::saveContext(ctx()));
  settle();
  pending = center_->pendingRequests();
  ASSERT_EQ(pending.size(), 2u);
  for (const auto& p : pending)
    if (p.identifier != "other") {
      EXPECT_EQ(p.trigger->nextTriggerDate(now_), now_.addingTimeInterval(7200));
    }

  // The requests persist on the device.
  un::UserNotificationCenter reread(device_.directory() + "/notifications.plist");
  EXPECT_EQ(reread.pendingRequests().size(), 2u);
}

TEST_F(RemindersTest, BackgroundSaveDoesNotReschedule) {
  app_->persistentContainer();
  auto background = app_->persistentContainer()->newBackgroundContext();
  background->performAndWait([&] {
    auto note = NTData::insertNewNoteAtIndex(*background, 0, nullptr);
    note->setReminderDate(now_.addingTimeInterval(600));
    NTData::saveContext(*background);
  });
  settle();
  EXPECT_TRUE(center_->pendingRequests().empty());
}

TEST_F(RemindersTest, DueReminderFiresAtItsSecondAndOpensTheNote) {
  ns::Calendar calendar = ns::Calendar::current();
  auto components = calendar.components(252, now_);
  components.hour = 9;
  components.minute = 0;
  components.second = 30;
  ns::Date at = *calendar.dateFromComponents(components);
  if (at <= now_) at = *calendar.dateByAdding(ns::kCalendarUnitDay, 1, at);
  auto note = noteWithReminder("Read me", at);
  ASSERT_TRUE(NTData::saveContext(ctx()));
  settle();
  ASSERT_EQ(center_->pendingRequests().size(), 1u);

  ns::Clock::advance(at.timeIntervalSince(now_) - 1);
  EXPECT_TRUE(center_->deliverDueNotifications().empty());
  ns::Clock::advance(1);
  auto delivered = center_->deliverDueNotifications();
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0].date, at);
  EXPECT_EQ(center_->presentationOptions(delivered[0].request.identifier), un::kPresentationAlert);
  EXPECT_TRUE(center_->pendingRequests().empty());

  bool completed = false;
  center_->openNotification(delivered[0], [&] { completed = true; });
  EXPECT_TRUE(completed);
  // Opening the note on screen is tested with the folder list.
  EXPECT_EQ(note->reminderDate(), std::nullopt);
  EXPECT_FALSE(ctx().hasChanges());
}

TEST_F(RemindersTest, NotificationOfAMissingNoteStillCompletes) {
  auto note = noteWithReminder("Gone soon", now_.addingTimeInterval(60));
  ASSERT_TRUE(NTData::saveContext(ctx()));
  settle();
  auto request = center_->pendingRequests().at(0);
  NTData::deleteNote(ctx(), note);
  ASSERT_TRUE(NTData::saveContext(ctx()));
  settle();
  EXPECT_TRUE(center_->pendingRequests().empty());
  bool completed = false;
  center_->openNotification(un::Notification{now_, request}, [&] { completed = true; });
  EXPECT_TRUE(completed);
}

TEST_F(RemindersTest, ClearingPastRemindersOnActivation) {
  auto due = noteWithReminder("due", now_.addingTimeInterval(30));
  auto later = noteWithReminder("later", now_.addingTimeInterval(3600));
  ASSERT_TRUE(NTData::saveContext(ctx()));
  settle();
  ns::Clock::advance(30);
  app_->clearPastNotifications();
  EXPECT_EQ(due->reminderDate(), std::nullopt);
  EXPECT_TRUE(later->reminderDate().has_value());
  EXPECT_FALSE(ctx().hasChanges());
}

TEST_F(RemindersTest, EditorWithoutPermissionAnswersAtOnce) {
  auto note = noteWithReminder("x", std::nullopt);
  center_->setAuthorizationStatus(un::AuthorizationStatus::Denied);
  std::optional<bool> done;
  app_->showReminderEditorForNote(note, [&](bool cancelled) { done = cancelled; });
  center_->flush();
  dispatch::RunLoop::main().runUntil([&] { return done.has_value(); }, 2.0);
  EXPECT_EQ(done, true);
  // Refused requests never become pending.
  center_->addNotificationRequest(AppDelegate::reminderRequestForNote(*note));
  EXPECT_TRUE(center_->pendingRequests().empty());
}

}  // namespace
