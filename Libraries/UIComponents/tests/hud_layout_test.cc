#include <cmath>

#include "Libraries/UIComponents/QBIndefiniteAnimatedView.h"
#include "Libraries/UIComponents/QBProgressAnimatedView.h"
#include "Libraries/UIComponents/QBRadialGradientLayer.h"
#include "Libraries/UIComponents/tests/hud_test_support.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/TextDrawing.h"
#include "Platform/UIKit/TextField.h"

namespace {

// The status text's box as the panel measures it: within 200 points, rounded up.
ui::Size labelBox(const std::string& text) {
  ui::Size s = ui::sizeOfText(text, *QBProgressHUD::sharedView()->font(), 200);
  return {std::ceil(std::min(s.width, 200.0)), std::ceil(std::min(s.height, 300.0))};
}

TEST_F(HudTest, PanelSizeFollowsTheSpinnerAndTheText) {
  const std::string shortText = "Saving";
  const std::string longText =
      "Reading backup... this can take a while when the backup holds many notes and folders";
  struct Case {
    QBProgressHUD::Status status;
    double spinnerSide;  // 2 x (radius + thickness / 2 + 5)
  };
  for (const Case& c : {Case{std::nullopt, 60}, Case{shortText, 48}, Case{longText, 48}}) {
    QBProgressHUD::showWithStatus(c.status);
    settle(0.5);
    const ui::Rect panel = hud().hudView().bounds();
    const ui::Size label = c.status ? labelBox(*c.status) : ui::Size{0, 0};
    const double gap = c.status ? 8 : 0;
    SCOPED_TRACE(c.status.value_or("(none)"));
    EXPECT_EQ(hud().indefiniteAnimatedView().frame().width(), c.spinnerSide);
    EXPECT_DOUBLE_EQ(panel.width(), 12 + std::max(label.width, c.spinnerSide) + 12);
    EXPECT_DOUBLE_EQ(panel.height(), 12 + label.height + c.spinnerSide + gap + 12);
    if (c.status == longText) {
      EXPECT_LE(panel.width(), 224);  // the text wraps within 200 points
      EXPECT_GT(label.height, labelBox(shortText).height);
    }
    if (c.status) {
      // The label sits 8 points under the spinner.
      EXPECT_DOUBLE_EQ(hud().statusLabel().frame().minY(), hud().indefiniteAnimatedView().frame().maxY() + 8);
    }
    QBProgressHUD::dismiss();
    settle(1);
  }
}

TEST_F(HudTest, MinimumSizeRaisesThePanelAndCentresTheContent) {
  QBProgressHUD::setMinimumSize({200, 200});
  QBProgressHUD::showWithStatus("Saving");
  settle(0.5);
  const ui::Size label = labelBox("Saving");
  EXPECT_EQ(hud().hudView().bounds().size, (ui::Size{200, 200}));
  const double expectedY = std::max(12.0, (200 - 48 - 8 - label.height) / 2) + 48.0 / 2;
  EXPECT_DOUBLE_EQ(hud().indefiniteAnimatedView().center().y, expectedY);
  EXPECT_DOUBLE_EQ(hud().indefiniteAnimatedView().center().x, 100);
}

TEST_F(HudTest, PanelStandsClearOfTheKeyboard) {
  // Phone: 390 x 844, status bar 47, keyboard 291.
  QBProgressHUD::show();
  settle(0.5);
  EXPECT_EQ(hud().hudView().center(), (ui::Point{195, std::floor(0.45 * 844)}));
  QBProgressHUD::dismiss();
  settle(1);

  auto field = std::make_shared<ui::TextField>(ui::Rect(10, 100, 200, 30));
  window_->rootViewController()->view()->addSubview(field);
  ASSERT_TRUE(field->becomeFirstResponder());
  settle(0.5);
  ASSERT_TRUE(ui::Keyboard::shared().isVisible());
  EXPECT_EQ(hud().visibleKeyboardHeight(), 291);

  QBProgressHUD::show();
  settle(0.5);
  const double above = std::floor(0.45 * (844 + 2 * 47 - 291));
  EXPECT_EQ(hud().hudView().center(), (ui::Point{195, above}));

  // The keyboard goes: the did-hide notification moves the panel back.
  field->resignFirstResponder();
  settle(0.5);
  EXPECT_EQ(hud().hudView().center(), (ui::Point{195, std::floor(0.45 * 844)}));
}

TEST_F(HudTest, OffsetAndContainerMoveThePanel) {
  QBProgressHUD::setOffsetFromCenter({10, -20});
  QBProgressHUD::show();
  settle(0.5);
  EXPECT_EQ(hud().hudView().center(), (ui::Point{205, std::floor(0.45 * 844) - 20}));
  QBProgressHUD::dismiss();
  settle(1);

  auto container = std::make_shared<ui::View>(ui::Rect(0, 0, 300, 400));
  window_->addSubview(container);
  QBProgressHUD::setContainerView(container);
  QBProgressHUD::show();
  settle(0.5);
  EXPECT_EQ(hud().controlView().superview(), container.get());
  EXPECT_EQ(hud().hudView().center(), (ui::Point{160, 180}));
}

TEST_F(HudTest, NoQualifyingWindowLeavesTheHUDUnattached) {
  window_->setWindowLevel(ui::kWindowLevelAlert);  // above the allowed level
  QBProgressHUD::show();
  settle(0.5);
  EXPECT_EQ(hud().controlView().superview(), nullptr);
  EXPECT_EQ(hud().activityCount(), 1u);

  QBProgressHUD::dismiss();
  settle(1);
  QBProgressHUD::setMaxSupportedWindowLevel(ui::kWindowLevelAlert);
  QBProgressHUD::show();
  settle(0.5);
  EXPECT_EQ(hud().controlView().superview(), window_.get());
  QBProgressHUD::setMaxSupportedWindowLevel(ui::kWindowLevelNormal);
}

TEST_F(HudTest, MaskTypesColourTheMask) {
  QBProgressHUD::setDefaultMaskType(QBProgressHUDMaskType::Gradient);
  QBProgressHUD::show();
  settle(0.5);
  const QBRadialGradientLayer* gradient = hud().backgroundRadialGradientLayer();
  ASSERT_NE(gradient, nullptr);
  EXPECT_EQ(gradient->gradientCenter(), (ui::Point{195, 422}));
  EXPECT_EQ(gradient->frame().size, (ui::Size{390, 844}));

  QBProgressHUD::setDefaultMaskType(QBProgressHUDMaskType::Black);
  QBProgressHUD::show();
  settle(0.5);
  EXPECT_EQ(hud().backgroundRadialGradientLayer(), nullptr);
  EXPECT_DOUBLE_EQ(hud().backgroundView().backgroundColor()->alpha(), 0.4);
}

TEST_F(HudTest, ImageViewSizeChangeReplacesTheImageView) {
  QBProgressHUD::showInfoWithStatus("Note");
  settle(0.5);
  // Held, so a new view cannot take the old one's address.
  auto firstHeld = hud().imageView().shared_from_this();
  const ui::ImageView* first = &hud().imageView();
  EXPECT_EQ(first->bounds().size, (ui::Size{28, 28}));
  ASSERT_NE(first->image(), nullptr);
  EXPECT_EQ(first->image()->renderingMode(), ui::ImageRenderingMode::AlwaysTemplate);
  QBProgressHUD::setImageViewSize({40, 40});
  QBProgressHUD::showInfoWithStatus("Note");
  settle(0.5);
  EXPECT_NE(&hud().imageView(), first);
  EXPECT_EQ(hud().imageView().bounds().size, (ui::Size{40, 40}));
  // Image panel: 12 + max(label, 40) + 12 wide.
  EXPECT_DOUBLE_EQ(hud().hudView().bounds().height(), 12 + labelBox("Note").height + 40 + 8 + 12);
}

TEST_F(HudTest, ProgressShowsBothRingsAndNoSpinner) {
  QBProgressHUD::showProgress(0.3f, std::string("Reading backup..."));
  settle(0.5);
  EXPECT_EQ(hud().ringView().superview(), &hud().hudView().contentView());
  EXPECT_EQ(hud().backgroundRingView().superview(), &hud().hudView().contentView());
  EXPECT_EQ(hud().indefiniteAnimatedView().superview(), nullptr);
  EXPECT_FLOAT_EQ(hud().ringView().strokeEnd(), 0.3f);
  EXPECT_EQ(hud().backgroundRingView().strokeEnd(), 1);

  QBProgressHUD::show();
  settle(0.5);
  EXPECT_EQ(hud().ringView().superview(), nullptr);
  EXPECT_EQ(hud().ringView().strokeEnd(), 0);
  EXPECT_NE(hud().indefiniteAnimatedView().superview(), nullptr);
}

}  // namespace
