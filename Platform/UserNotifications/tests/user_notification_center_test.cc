#include <gtest/gtest.h>

#include "Platform/Foundation/Calendar.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/UserNotifications/UserNotificationCenter.h"

namespace {

class CenterTest : public ::testing::Test {
 protected:
  void SetUp() override { ns::Clock::useVirtual(now_); }
  void TearDown() override {
    center_->flush();
    ns::Clock::useReal();
  }
  un::NotificationRequest at(const std::string& id, double secondsFromNow) {
    un::NotificationRequest r;
    r.identifier = id;
    r.content.body = "body " + id;
    r.content.userInfo = ns::Dictionary{{"note", ns::Value(id)}};
    r.trigger = un::CalendarNotificationTrigger{ns::Calendar::current().components(252, now_.addingTimeInterval(secondsFromNow))};
    return r;
  }

  ns::testing::TemporaryDevice device_;
  ns::Date now_ = ns::Date(700000000);
  std::shared_ptr<un::UserNotificationCenter> center_ = un::UserNotificationCenter::currentNotificationCenter();
};

TEST_F(CenterTest, AuthorizationDecidesWhetherRequestsAreKept) {
  struct Case {
    un::AuthorizationStatus status;
    bool kept;
  };
  for (const Case& c : {Case{un::AuthorizationStatus::NotDetermined, false}, Case{un::AuthorizationStatus::Denied, false},
                        Case{un::AuthorizationStatus::Authorized, true}}) {
    center_->removeAllPendingNotificationRequests();
    center_->setAuthorizationStatus(c.status);
    bool refused = false;
    center_->addNotificationRequest(at("a", 60), [&](const ns::Error* e) { refused = e != nullptr; });
    center_->flush();
    EXPECT_EQ(refused, !c.kept);
    EXPECT_EQ(center_->pendingRequests().size(), c.kept ? 1u : 0u);
  }
}

TEST_F(CenterTest, SameIdentifierReplacesAndEverythingPersists) {
  center_->setAuthorizationStatus(un::AuthorizationStatus::Authorized);
  center_->addNotificationRequest(at("a", 60));
  center_->addNotificationRequest(at("b", 30));
  center_->addNotificationRequest(at("a", 90));
  un::UserNotificationCenter reread(device_.directory() + "/notifications.plist");
  auto pending = reread.pendingRequests();
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(reread.authorizationStatus(), un::AuthorizationStatus::Authorized);
  for (const auto& r : pending) {
    EXPECT_EQ(r.content.userInfo, (ns::Dictionary{{"note", ns::Value(r.identifier)}}));
    if (r.identifier == "a") {
      EXPECT_EQ(r.trigger->nextTriggerDate(now_), now_.addingTimeInterval(90));
    }
  }
}

TEST_F(CenterTest, DueRequestsAreDeliveredInOrderOnceTheClockPassesThem) {
  center_->setAuthorizationStatus(un::AuthorizationStatus::Authorized);
  center_->addNotificationRequest(at("late", 120));
  center_->addNotificationRequest(at("early", 60));
  center_->addNotificationRequest(at("never yet", 3600));
  EXPECT_TRUE(center_->deliverDueNotifications().empty());
  EXPECT_EQ(center_->pendingRequests().size(), 3u);
  ns::Clock::advance(120);
  auto delivered = center_->deliverDueNotifications();
  ASSERT_EQ(delivered.size(), 2u);
  EXPECT_EQ(delivered[0].request.identifier, "early");
  EXPECT_EQ(delivered[1].request.identifier, "late");
  EXPECT_EQ(delivered[1].request.content.body, "body late");
  EXPECT_EQ(center_->pendingRequests().size(), 1u);
  EXPECT_EQ(center_->deliveredNotifications().size(), 2u);
  center_->openNotification(delivered[0]);
  EXPECT_EQ(center_->deliveredNotifications().size(), 1u);
}

}  // namespace
