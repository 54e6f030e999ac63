// The small parts of an alert: icon placement in a row button, the drawn
// shadow around the panel, and the text rectangle of its text fields.
#include <gtest/gtest.h>

#include "Libraries/UIComponents/QBAlertView.h"
#include "Libraries/UIComponents/QBAlertViewButton.h"
#include "Libraries/UIComponents/QBAlertViewShadowView.h"
#include "Libraries/UIComponents/QBAlertViewTextField.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UIKit/GraphicsContext.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ScrollView.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

class AlertPartsTest : public ui::testing::InterfaceTest {
 protected:
  AlertPartsTest() { show(std::make_shared<ui::ViewController>()); }
};

TEST_F(AlertPartsTest, IconSitsBesideTheTitleOnTheSideTheAlignmentAsks) {
  // A 200 x 44 button: content from x 10 to 190; a 20-point icon.
  struct Case {
    const char* name;
    uint64_t position;
    ui::TextAlignment alignment;
  };
  const Case cases[] = {
      {"left icon, left title", 0, ui::TextAlignment::Left},
      {"left icon, centred title", 0, ui::TextAlignment::Center},
      {"left icon, right title", 0, ui::TextAlignment::Right},
      {"right icon, left title", 1, ui::TextAlignment::Left},
      {"right icon, centred title", 1, ui::TextAlignment::Center},
      {"right icon, right title", 1, ui::TextAlignment::Right},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QBAlertViewButton button;
    button.setFrame(ui::Rect(0, 0, 200, 44));
    button.setTitle("Save");
    button.setImage(ui::Image::withBitmap(cg::Image::filled(20, 20, cg::Rgba::black())), ui::kControlStateNormal);
    button.titleLabel().setTextAlignment(c.alignment);
    button.setIconPosition(c.position);
    button.layoutSubviews();
    ui::Rect icon = button.imageView().frame(), title = button.titleLabel().frame();
    ASSERT_EQ(icon.width(), 20);
    ASSERT_GT(title.width(), 0);
    const bool left = c.position == 0;
    // Icon and title never overlap, and stand 8 points apart except when
    // pushed to opposite edges.
    switch (c.alignment) {
      case ui::TextAlignment::Left:
        if (left) {
          EXPECT_EQ(icon.minX(), 10);
          EXPECT_EQ(title.minX(), 38);
        } else {
          EXPECT_EQ(title.minX(), 10);
          EXPECT_EQ(icon.maxX(), 190);
        }
        break;
      case ui::TextAlignment::Right:
        if (left) {
          EXPECT_EQ(icon.minX(), 10);
          EXPECT_EQ(title.maxX(), 190);
        } else {
          EXPECT_EQ(icon.maxX(), 190);
          EXPECT_EQ(title.maxX(), 162);
        }
        break;
      default: {
        const ui::Rect& first = left ? icon : title;
        const ui::Rect& second = left ? title : icon;
        EXPECT_DOUBLE_EQ(second.minX() - first.maxX(), 8);
        EXPECT_DOUBLE_EQ((first.minX() + second.maxX()) / 2, 100) << "the pair stays centred";
        break;
      }
    }
    EXPECT_DOUBLE_EQ(icon.midY(), 22);
  }
}

TEST_F(AlertPartsTest, ShadowIsDrawnAroundThePanelOnlyWhenThereIsOne) {
  struct Case {
    const char* name;
    ui::ColorPtr stroke;
    double strokeWidth;
    ui::ColorPtr shadow;
    double blur;
    bool drawsShadow;
  };
  const Case cases[] = {
      {"shadow colour and blur", nullptr, 0, ui::Color::black(), 8, true},
      {"shadow colour without blur or stroke", nullptr, 0, ui::Color::black(), 0, false},
      {"blur without any colour", nullptr, 0, nullptr, 8, false},
      // The rectangle is cut out again, and a stroke alone casts no shadow.
      {"stroke only", ui::Color::red(), 2, nullptr, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QBAlertViewShadowView view;
    view.setFrame(ui::Rect(0, 0, 100, 60));
    view.cornerRadius = 6;
    view.strokeColor = c.stroke;
    view.strokeWidth = c.strokeWidth;
    view.shadowColor = c.shadow;
    view.shadowBlur = c.blur;
    ui::GraphicsContext::beginImageContext(ui::Size(100, 60), false, 1);
    view.drawRect(view.bounds());
    auto image = ui::GraphicsContext::imageFromCurrentContext();
    ui::GraphicsContext::endImageContext();
    ASSERT_TRUE(image);
    const cg::Image& bitmap = *image->bitmap();
    EXPECT_EQ(bitmap.pixel(50, 30).a, 0) << "the panel's own area stays clear";
    EXPECT_EQ(bitmap.pixel(5, 30).a > 0, c.drawsShadow) << "beside the panel";
    EXPECT_EQ(bitmap.pixel(50, 4).a > 0, c.drawsShadow) << "above the panel";
  }
}

TEST_F(AlertPartsTest, PanelShadowViewTakesTheLayerValuesAndSurroundsThePanel) {
  auto alert = QBAlertView::alertViewWithTitle("Title", "", QBAlertViewStyle::Alert, {"OK"}, "", "");
  alert->layerShadowColor = ui::Color::black();
  alert->layerShadowRadius = 10;
  alert->layerBorderWidth = 1;
  alert->show();
  auto shadow = alert->shadowView();
  ASSERT_TRUE(shadow);
  EXPECT_EQ(shadow->shadowBlur, 10);
  EXPECT_EQ(shadow->strokeWidth, 1);
  EXPECT_EQ(shadow->cornerRadius, 12);
  EXPECT_FALSE(shadow->isUserInteractionEnabled());
  ui::Rect panel = alert->scrollView()->frame();
  EXPECT_EQ(shadow->frame(), ui::Rect(panel.minX() - 11, panel.minY() - 11, panel.width() + 22, panel.height() + 22));
  alert->dismiss();
}

TEST_F(AlertPartsTest, TextFieldTextKeepsClearOfItsSideViews) {
  auto alert = QBAlertView::alertViewWithTextFieldsAndTitle(
      "Sign in", "", 3,
      [](ui::TextField& field, uint64_t i) {
        if (i == 1) field.setClearButtonMode(ui::TextFieldViewMode::Never);
        if (i == 2) {
          field.setLeftView(std::make_shared<ui::View>(ui::Rect(0, 0, 30, 44)));
          field.setRightView(std::make_shared<ui::View>(ui::Rect(0, 0, 25, 44)));
        }
      },
      {"OK"}, "", "");
  alert->show();
  const ui::Rect bounds(0, 0, 280, 44);
  const ui::Rect expected[] = {
      ui::Rect(10, 0, 240, 44),  // the clear button always shows (the alert's default)
      ui::Rect(10, 0, 260, 44),
      ui::Rect(40, 0, 205, 44),
  };
  ASSERT_EQ(alert->textFieldsArray().size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    auto field = std::dynamic_pointer_cast<QBAlertViewTextField>(alert->textFieldsArray()[i]);
    ASSERT_TRUE(field);
    EXPECT_EQ(field->textRectForBounds(bounds), expected[i]);
    EXPECT_EQ(field->editingRectForBounds(bounds), expected[i]);
  }
  alert->dismiss();
}

}  // namespace
