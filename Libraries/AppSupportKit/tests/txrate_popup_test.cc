// The kit's rating popup in place of the scheduler's alert: its panels and
// texts, each way out with the scheduler's call and the events it logs.
#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/TXRateViewController.h"
#include "Libraries/AppSupportKit/tests/kit_popup_fixture.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Application.h"

namespace {

using kit_popup_testing::KitPopupTest;
using ui::Input;

using Reason = std::pair<std::string, std::string>;

class TXRatePopupTest : public KitPopupTest {
 protected:
  std::shared_ptr<TXRateViewController> openPrompt() {
    TXKit::sharedInstance().openRatingPrompt();
    Input::settle();
    return popup<TXRateViewController>();
  }
  // The one "Rate_Prompt" event's reason and face.
  static Reason promptEvent() {
    auto logged = events("Rate_Prompt");
    EXPECT_EQ(logged.size(), 1u);
    if (logged.empty() || !logged[0].parameters) return {};
    const ns::Dictionary& p = *logged[0].parameters;
    return {p.find("Dismiss_Reason")->stringValue(), p.find("Face_Clicked")->stringValue()};
  }
  static QBRate& rate() { return QBRate::sharedInstance(); }
};

TEST_F(TXRatePopupTest, TheSchedulersQuestionOpensThePopupWithThreeFaces) {
  int prompted = 0;
  auto observer = ns::NotificationCenter::defaultCenter().addObserver(
      "QBRateDidPromptForRating", nullptr, nullptr, [&](const ns::Notification&) { ++prompted; });
  EXPECT_FALSE(TXKit::sharedInstance().QBRateShouldPromptForRating()) << "the scheduler shows nothing itself";
  Input::settle();
  auto card = popup<TXRateViewController>();
  ASSERT_TRUE(card);
  EXPECT_EQ(prompted, 1);
  EXPECT_TRUE(TXKit::sharedInstance().isShowingMessage());
  EXPECT_TRUE(shows("Hi, what do you think about Quill?")) << screen();
  EXPECT_EQ(card->view()->layer().cornerRadius(), 10);
  EXPECT_EQ(card->viewFaces()->alpha(), 1);
  EXPECT_EQ(card->viewRate()->alpha(), 0);
  EXPECT_EQ(card->viewEmail()->alpha(), 0);
  EXPECT_EQ(card->rateTitle()->text(), "Thank you!");
  EXPECT_EQ(card->emailTitle()->text(), "Thank you!");
  EXPECT_EQ(card->emailSubtitle()->text(), "Would you like to email us your feedback?");
  EXPECT_EQ(card->rateSubtitle()->text(),
            "If you find this app useful, please rate this version with 5 stars on the App Store. Thanks!");
  EXPECT_EQ(card->yesButton()->titleForState(ui::kControlStateNormal), "Send Feedback");
  EXPECT_EQ(card->noButton()->titleForState(ui::kControlStateNormal), "Close");
  EXPECT_EQ(card->rateButton()->titleForState(ui::kControlStateNormal), "Rate");
  EXPECT_EQ(card->dontShowAgainButton()->titleForState(ui::kControlStateNormal), "Don't show again");
  EXPECT_TRUE(card->dontShowAgainButton()->isHidden()) << "never asked to be reminded";
  for (const auto& b : {card->rateButton(), card->noButton(), card->yesButton()})
    EXPECT_EQ(b->layer().cornerRadius(), 5);
  const std::vector<std::pair<std::shared_ptr<ui::Button>, std::string>> images = {
      {card->sadButton(), "TXRateSadFace"},  {card->normalButton(), "TXRateRegularFace"},
      {card->happyButton(), "TXRateHappyFace"}, {card->closeButton(), "CloseX"},
      {card->close2Button(), "CloseX"},      {card->close3Button(), "CloseX"}};
  for (const auto& [button, name] : images) {
    ASSERT_TRUE(button->imageForState(ui::kControlStateNormal)) << name;
    EXPECT_EQ(button->imageForState(ui::kControlStateNormal)->name(), name);
  }

  // While it shows, another question opens nothing more.
  EXPECT_FALSE(TXKit::sharedInstance().QBRateShouldPromptForRating());
  EXPECT_EQ(TXUIManager::sharedInstance().queuedRequestCount(), 0u);
  EXPECT_EQ(prompted, 1);
  ns::NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST_F(TXRatePopupTest, RemindLaterBeforeAFaceThenDontShowAgainAppearsNextTime) {
  auto card = openPrompt();
  ASSERT_TRUE(card);
  ns::Date tapped = ns::Date::now();
  ASSERT_TRUE(Input::tap("Close"));
  EXPECT_EQ(promptEvent(), (Reason("Remind me later", "None")));
  EXPECT_EQ(rate().lastReminded(), tapped);
  EXPECT_FALSE(popup<TXRateViewController>());
  EXPECT_FALSE(TXKit::sharedInstance().isShowingMessage()) << "the dismissal clears the flag";

  Input::advance(2);
  card = openPrompt();
  ASSERT_TRUE(card);
  EXPECT_FALSE(card->dontShowAgainButton()->isHidden());
}

TEST_F(TXRatePopupTest, HappyFaceThenRateMarksTheVersionAndClosesAfterAMoment) {
  auto card = openPrompt();
  ASSERT_TRUE(Input::tap("Happy face"));
  EXPECT_EQ(card->clickedFace(), "Happy");
  EXPECT_EQ(card->viewFaces()->alpha(), 0);
  EXPECT_EQ(card->viewRate()->alpha(), 1);
  EXPECT_EQ(card->viewEmail()->alpha(), 0);
  EXPECT_TRUE(events("Rate_Prompt").empty()) << "a face leaves nothing behind";

  card->rateTheApp();
  EXPECT_TRUE(rate().ratedThisVersion());
  ASSERT_EQ(events("Rate").size(), 1u);
  EXPECT_FALSE(events("Rate")[0].parameters);
  EXPECT_EQ(ui::Application::shared().openedURLs().back(), rate().ratingsURL().absoluteString());
  ns::Clock::advance(0.29);
  dispatch::RunLoop::main().drain();
  EXPECT_TRUE(events("Rate_Prompt").empty()) << "not before 0.3 s";
  ns::Clock::advance(0.01);
  dispatch::RunLoop::main().drain();
  EXPECT_EQ(promptEvent(), (Reason("Rate the app", "Happy")));
  Input::settle();
  EXPECT_FALSE(popup<TXRateViewController>());
  EXPECT_FALSE(rate().shouldPromptForRating());
}

TEST_F(TXRatePopupTest, SadFaceThenSendFeedbackDeclinesAndQueuesTheSupportMail) {
  TXConfig::sharedInstance().setValue("app", "supportEmail", ns::Value("help@quill.example"));
  openPrompt();
  ASSERT_TRUE(Input::tap("Sad face"));
  ASSERT_TRUE(Input::tap("Send Feedback"));
  EXPECT_EQ(promptEvent(), (Reason("Send feedback email", "Sad")));
  EXPECT_TRUE(rate().declinedThisVersion());
  EXPECT_FALSE(rate().shouldPromptForRating()) << "a decline ends the prompts";
  Input::advance(2);
  EXPECT_FALSE(popup<TXRateViewController>());
  EXPECT_TRUE(shows("To: help@quill.example")) << screen();
  EXPECT_TRUE(shows("App: Quill - 1.9 (19)")) << "the support block\n" << screen();
  ASSERT_TRUE(Input::pressBarButton("Send"));
  auto sent = ui::MailComposeViewController::sentMessages();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].subject, "");
  EXPECT_TRUE(sent[0].isHTML);
  EXPECT_EQ(sent[0].body, TXKit::supportData()) << "no signature";
}

TEST_F(TXRatePopupTest, EveryOtherWayOutNamesItsReasonAndTheFace) {
  struct Case {
    const char* face;  // null: none tapped
    void (TXRateViewController::*leave)();
    std::string reason;
    std::string clicked;
    bool declined;
  };
  const std::vector<Case> cases = {
      {nullptr, &TXRateViewController::dontShowAgain, "Don't show again", "None", true},
      {"Neutral face", &TXRateViewController::dontShowAgain, "Don't show again (sad)", "Normal", true},
      {"Happy face", &TXRateViewController::dontShowAgain, "Don't show again (sad)", "Happy", true},
      {"Happy face", &TXRateViewController::remindLater, "Remind me later (happy)", "Happy", false},
      {"Sad face", &TXRateViewController::remindLater, "Remind me later (happy)", "Sad", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason + " after " + c.clicked);
    rate().setDeclinedThisVersion(false);
    msr_testing::VOZIzizuzoveCallRecorder::shared().clearRecords();
    Input::advance(2);
    auto card = openPrompt();
    ASSERT_TRUE(card);
    if (c.face) ASSERT_TRUE(Input::tap(c.face));
    (card.get()->*c.leave)();
    Input::settle();
    EXPECT_EQ(promptEvent(), std::pair(c.reason, c.clicked));
    EXPECT_EQ(rate().declinedThisVersion(), c.declined);
    EXPECT_FALSE(popup<TXRateViewController>());
  }
}

}  // namespace
