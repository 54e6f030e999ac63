// The kit's messages: the mail composer it queues (signature, recipient,
// attachment), the one-button alert, and the day counts of the date helpers.
#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/NSDateUtilities.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/TimeZone.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/MailComposeViewController.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using ui::Input;

class TXKitMailTest : public ui::testing::InterfaceTest {
 protected:
  TXKitMailTest() {
    TXUIManager::sharedInstance().reset();
    ui::MailComposeViewController::resetSentMessages();
    show(std::make_shared<ui::ViewController>());
  }
  ~TXKitMailTest() override { TXUIManager::sharedInstance().reset(); }
  static std::string screen() { return ui::ScreenText::render(); }
};

TEST_F(TXKitMailTest, ComposerShowsTheMessageAndRecordsItWhenSent) {
  TXKit::sharedInstance().openEmailWithSubject("Backup", "Here it is", false, "me@example.org", true,
                                               ns::Data{1, 2, 3}, "application/zip", "notes.quillbox");
  Input::settle();
  std::string shown = screen();
  for (const char* text : {"To: me@example.org", "Subject: Backup", "Attachment: notes.quillbox (application/zip, 3 bytes)",
                           "Here it is"})
    EXPECT_NE(shown.find(text), std::string::npos) << text << "\n" << shown;
  ASSERT_TRUE(Input::pressBarButton("Send"));
  auto sent = ui::MailComposeViewController::sentMessages();
  ASSERT_EQ(sent.size(), 1u);
  // A plain-text signature: two line breaks and the signature line.
  EXPECT_EQ(sent[0].body, "Here it is\n\nSent via " + TXKit::applicationName() + " app");
  EXPECT_EQ(sent[0].attachments.size(), 1u);
  EXPECT_EQ(TXUIManager::topmostViewController()->presentedViewController(), nullptr);
}

TEST_F(TXKitMailTest, CancelSendsNothingAndAnEmptyRecipientIsLeftOut) {
  TXKit::sharedInstance().openEmailWithSubject("Hi", "<b>Hello</b>", true, "", false, std::nullopt, "", "");
  Input::settle();
  EXPECT_NE(screen().find("\"To: \""), std::string::npos) << screen();
  EXPECT_NE(screen().find("Hello"), std::string::npos) << screen();
  EXPECT_EQ(screen().find("<b>"), std::string::npos) << screen();
  ASSERT_TRUE(Input::pressBarButton("Cancel"));
  EXPECT_TRUE(ui::MailComposeViewController::sentMessages().empty());
  EXPECT_EQ(screen().find("Subject"), std::string::npos) << screen();
}

TEST_F(TXKitMailTest, PresentTitleQueuesAnAlertWithOK) {
  TXKit::presentTitle("iCloud", "Went wrong");
  Input::settle();
  EXPECT_NE(screen().find("Alert \"iCloud\""), std::string::npos) << screen();
  EXPECT_NE(screen().find("\"Went wrong\""), std::string::npos) << screen();
  ASSERT_TRUE(Input::tap("OK"));
  EXPECT_EQ(screen().find("iCloud"), std::string::npos) << screen();
}

TEST(NSDateUtilitiesDaysTest, DaysCountCalendarDaysNotPeriods) {
  ns::TimeZone::setDefault(ns::TimeZone::utc());
  ns::Clock::useVirtual(ns::Date(799977600.0 + 600));  // 00:10
  ns::Date now = ns::Date::now();
  ns::Date lateYesterday = now.addingTimeInterval(-40 * 60);  // 23:30 the day before
  EXPECT_EQ(NSDateUtilities::daysSinceDate(now, lateYesterday), 1);
  EXPECT_EQ(NSDateUtilities::daysSinceDate(lateYesterday, now), -1);
  EXPECT_TRUE(NSDateUtilities::isYesterday(lateYesterday));
  EXPECT_TRUE(NSDateUtilities::isToday(now));
  EXPECT_FALSE(NSDateUtilities::isToday(lateYesterday));
  EXPECT_EQ(NSDateUtilities::daysSinceDate(now, now.addingTimeInterval(-3 * 86400)), 3);
  ns::Clock::useReal();
  ns::TimeZone::resetDefault();
}

}  // namespace
