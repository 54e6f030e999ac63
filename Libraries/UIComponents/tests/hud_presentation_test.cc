#include <thread>

#include "Libraries/UIComponents/tests/hud_test_support.h"
#include "Platform/Dispatch/Queue.h"

namespace {

using Names = std::vector<std::string>;

TEST_F(HudTest, GraceTimeKeepsAShortTaskFromShowingAtAll) {
  QBProgressHUD::setGraceTimeInterval(1.0);
  QBProgressHUD::showWithStatus("Working");
  settle(0.5);
  EXPECT_FALSE(QBProgressHUD::isVisible());
  EXPECT_TRUE(hud().hasGraceTimer());
  QBProgressHUD::dismiss();
  settle(3);
  EXPECT_FALSE(QBProgressHUD::isVisible());
  EXPECT_FALSE(hud().hasGraceTimer());
  // Nothing ever appeared.
  for (const auto& name : names()) {
    EXPECT_NE(name, QBProgressHUDWillAppearNotification);
    EXPECT_NE(name, QBProgressHUDDidAppearNotification);
  }
}

TEST_F(HudTest, GraceTimeShowsALongTaskOnceItPasses) {
  QBProgressHUD::setGraceTimeInterval(1.0);
  QBProgressHUD::show();
  settle(0.9);
  EXPECT_FALSE(QBProgressHUD::isVisible());
  settle(0.5);
  EXPECT_TRUE(QBProgressHUD::isVisible());
  EXPECT_EQ(names(), (Names{QBProgressHUDWillAppearNotification, QBProgressHUDDidAppearNotification}));
}

TEST_F(HudTest, StatusImageStaysForItsDisplayDurationThenDismissesItself) {
  QBProgressHUD::showSuccessWithStatus("Saved");
  settle(1);
  EXPECT_TRUE(QBProgressHUD::isVisible());
  EXPECT_TRUE(hud().hasFadeOutTimer());
  settle(3.5);  // 4.5 s in: the minimum of 5 s still holds it
  EXPECT_TRUE(QBProgressHUD::isVisible());
  settle(1.5);
  EXPECT_FALSE(QBProgressHUD::isVisible());
  EXPECT_EQ(hud().superview(), nullptr);
}

TEST_F(HudTest, DismissAfterNestedShowsFollowsTheActivityCount) {
  QBProgressHUD::showWithStatus("One");
  QBProgressHUD::showWithStatus("Two");
  settle(0.5);
  EXPECT_EQ(hud().activityCount(), 2u);
  QBProgressHUD::popActivity();
  settle(1);
  EXPECT_TRUE(QBProgressHUD::isVisible());
  EXPECT_EQ(hud().activityCount(), 1u);
  QBProgressHUD::popActivity();
  settle(1);
  EXPECT_FALSE(QBProgressHUD::isVisible());
  EXPECT_EQ(hud().activityCount(), 0u);

  // dismiss ends every activity at once.
  QBProgressHUD::show();
  QBProgressHUD::show();
  QBProgressHUD::show();
  settle(0.5);
  EXPECT_EQ(hud().activityCount(), 3u);
  QBProgressHUD::dismiss();
  settle(1);
  EXPECT_EQ(hud().activityCount(), 0u);
  EXPECT_FALSE(QBProgressHUD::isVisible());
}

TEST_F(HudTest, ProgressCountsAnActivityOnlyAtZero) {
  struct Case {
    float progress;
    uint64_t count;
  };
  for (const Case& c : {Case{0.0f, 1}, Case{0.5f, 0}, Case{-1.0f, 1}}) {
    QBProgressHUD::showProgress(c.progress, std::string("Reading"));
    settle(0.5);
    EXPECT_EQ(hud().activityCount(), c.count) << c.progress;
    EXPECT_EQ(hud().progress(), c.progress);
    QBProgressHUD::dismiss();
    settle(1);
    EXPECT_EQ(hud().activityCount(), 0u);
  }
}

TEST_F(HudTest, StatusImageOverASpinnerKeepsTheCountUntilItDismissesItself) {
  QBProgressHUD::show();
  settle(0.5);
  QBProgressHUD::showSuccessWithStatus("Done");
  settle(0.5);
  EXPECT_EQ(hud().activityCount(), 1u);
  settle(6);
  EXPECT_FALSE(QBProgressHUD::isVisible());
  EXPECT_EQ(hud().activityCount(), 0u);
}

TEST_F(HudTest, DisplayDurationFollowsTheLengthOfTheText) {
  struct Case {
    QBProgressHUD::Status text;
    double minimum, maximum, expected;
  };
  const double inf = std::numeric_limits<double>::max();
  const std::string hundred(100, 'x');
  const std::string hundredUtf16 = std::string(50, 'x') + std::string(25, 'y') + [] {
    std::string s;
    for (int i = 0; i < 25; ++i) s += "\xC3\xA9";  // é: two UTF-8 bytes, one UTF-16 unit
    return s;
  }();
  const Case cases[] = {
      {hundred, 5, inf, 6.5},
      {hundredUtf16, 5, inf, 6.5},
      {std::string(""), 5, inf, 5.0},
      {std::nullopt, 5, inf, 5.0},
      {std::nullopt, 0, inf, 0.5},
      {std::string(10, 'a'), 0, inf, 1.1},
      {hundred, 5, 2, 2.0},
  };
  for (const Case& c : cases) {
    QBProgressHUD::setMinimumDismissTimeInterval(c.minimum);
    QBProgressHUD::setMaximumDismissTimeInterval(c.maximum);
    EXPECT_DOUBLE_EQ(QBProgressHUD::displayDurationForString(c.text), c.expected)
        << (c.text ? *c.text : "(none)") << " min " << c.minimum << " max " << c.maximum;
  }
}

TEST_F(HudTest, NotificationsArriveInOrderWithTheStatus) {
  QBProgressHUD::showWithStatus("Restoring backup...");
  settle(1);
  QBProgressHUD::dismiss();
  settle(1);
  QBProgressHUD::show();
  settle(1);
  QBProgressHUD::dismiss();
  settle(1);
  const auto got = events();
  ASSERT_EQ(got.size(), 8u);
  const struct {
    const char* name;
    bool object;
    const char* status;
  } want[] = {
      {QBProgressHUDWillAppearNotification, true, "Restoring backup..."},
      {QBProgressHUDDidAppearNotification, true, "Restoring backup..."},
      {QBProgressHUDWillDisappearNotification, false, "Restoring backup..."},
      {QBProgressHUDDidDisappearNotification, true, "Restoring backup..."},
      {QBProgressHUDWillAppearNotification, true, ""},
      {QBProgressHUDDidAppearNotification, true, ""},
      {QBProgressHUDWillDisappearNotification, false, ""},
      {QBProgressHUDDidDisappearNotification, true, ""},
  };
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].name, want[i].name) << i;
    EXPECT_EQ(got[i].hasObject, want[i].object) << i;
    EXPECT_EQ(got[i].status, want[i].status) << i;
  }
}

TEST_F(HudTest, AShowDuringTheFadeOutKeepsTheHUDAndDropsTheCompletion) {
  QBProgressHUD::show();
  settle(1);
  bool completed = false;
  QBProgressHUD::dismissWithCompletion([&] { completed = true; });
  dispatch::RunLoop::main().drain();  // fade-out started, not finished
  QBProgressHUD::show();
  settle(2);
  EXPECT_FALSE(completed);
  EXPECT_TRUE(QBProgressHUD::isVisible());
  EXPECT_NE(hud().superview(), nullptr);
  for (const auto& name : names()) EXPECT_NE(name, QBProgressHUDDidDisappearNotification);
}

TEST_F(HudTest, DismissWithDelayWaitsThenRunsTheCompletion) {
  QBProgressHUD::show();
  settle(1);
  bool completed = false;
  QBProgressHUD::dismissWithDelay(2, [&] { completed = true; });
  settle(1.5);
  EXPECT_TRUE(QBProgressHUD::isVisible());
  EXPECT_FALSE(completed);
  settle(1);
  EXPECT_FALSE(QBProgressHUD::isVisible());
  EXPECT_TRUE(completed);
}

TEST_F(HudTest, CallsFromABackgroundThreadWaitForTheMainLoop) {
  std::thread worker([] {
    QBProgressHUD::showWithStatus("Enabling iCloud");
    QBProgressHUD::showWithStatus("Enabling iCloud");
  });
  worker.join();
  EXPECT_EQ(hud().activityCount(), 0u);
  EXPECT_EQ(hud().superview(), nullptr);
  EXPECT_TRUE(names().empty());
  settle(1);
  EXPECT_EQ(hud().activityCount(), 2u);
  EXPECT_TRUE(QBProgressHUD::isVisible());

  std::thread ender([] { QBProgressHUD::popActivity(); });
  ender.join();
  EXPECT_EQ(hud().activityCount(), 2u);
  settle(1);
  EXPECT_EQ(hud().activityCount(), 1u);
  EXPECT_TRUE(QBProgressHUD::isVisible());
}

TEST_F(HudTest, HapticsFireOncePerStatusPresentationWhenEnabled) {
  QBProgressHUD::showErrorWithStatus("Failed");
  settle(0.5);
  EXPECT_TRUE(ui::NotificationFeedbackGenerator::occurred().empty());

  QBProgressHUD::setHapticsEnabled(true);
  QBProgressHUD::showInfoWithStatus("Note", QBProgressHUDMaskType::Black);
  QBProgressHUD::showSuccessWithStatus("Saved");
  QBProgressHUD::showErrorWithStatus("Failed");
  settle(0.5);
  EXPECT_EQ(ui::NotificationFeedbackGenerator::occurred(),
            (std::vector<ui::NotificationFeedbackType>{ui::NotificationFeedbackType::Warning,
                                                       ui::NotificationFeedbackType::Success,
                                                       ui::NotificationFeedbackType::Error}));
}

TEST_F(HudTest, MaskTypeDecidesWhetherTouchesReachTheScreen) {
  QBProgressHUD::show();
  settle(1);
  EXPECT_FALSE(hud().controlView().isUserInteractionEnabled());

  QBProgressHUD::setDefaultMaskType(QBProgressHUDMaskType::Black);
  QBProgressHUD::show();
  settle(1);
  EXPECT_TRUE(hud().controlView().isUserInteractionEnabled());
  const ui::Point panel = hud().hudView().center();
  hud().controlView().performTap(hud().convertPointTo(panel, &hud().controlView()));
  hud().controlView().performTap({1, 1});
  EXPECT_EQ(names(), (Names{QBProgressHUDWillAppearNotification, QBProgressHUDDidAppearNotification,
                            QBProgressHUDDidReceiveTouchEventNotification,
                            QBProgressHUDDidTouchDownInsideNotification,
                            QBProgressHUDDidReceiveTouchEventNotification}));
}

TEST_F(HudTest, CustomColoursSwitchTheStyleUntilAStyleIsSetAgain) {
  auto red = ui::Color::red();
  QBProgressHUD::setForegroundColor(red);
  EXPECT_EQ(hud().defaultStyle(), QBProgressHUDStyle::Custom);
  EXPECT_EQ(hud().foregroundColorForStyle(), red);
  QBProgressHUD::setDefaultStyle(QBProgressHUDStyle::Light);
  EXPECT_TRUE(hud().foregroundColorForStyle()->isEqual(*ui::Color::black()));
  QBProgressHUD::setDefaultStyle(QBProgressHUDStyle::Dark);
  EXPECT_TRUE(hud().foregroundColorForStyle()->isEqual(*ui::Color::white()));
  EXPECT_TRUE(hud().backgroundColorForStyle()->isEqual(*ui::Color::black()));
}

}  // namespace
