// "Share as Image": which sheets offer it, and the card it draws.
#include <gtest/gtest.h>

#include <cmath>

#include "Notes/NTConvertToImageActivity.h"
#include "Notes/NTSettings.h"
#include "Notes/tests/launch_fixture.h"
#include "Platform/UIKit/ActivityViewController.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/TextDrawing.h"

namespace {

using notes::testing::LaunchTest;

class ShareImageTest : public LaunchTest {
 protected:
  ShareImageTest() { launch(); }
  static ns::AttributedString note(const std::string& text) {
    return ns::AttributedString(text, NTSettings::noteTextAttributes());
  }
};

TEST_F(ShareImageTest, OnlySheetsWithTheNotesTextOfferIt) {
  auto activity = std::make_shared<NTConvertToImageActivity>();
  auto without = ui::ActivityViewController::make({std::string("text")}, {activity});
  EXPECT_EQ(without->activityTitles(), (std::vector<std::string>{"Copy", "Print"}));
  auto with = ui::ActivityViewController::make({std::string("text"), NTConvertToImageItem{note("text")}}, {activity});
  EXPECT_EQ(with->activityTitles(), (std::vector<std::string>{"Copy", "Print", "Share as Image"}));
  // Nothing prepared: nothing to show.
  EXPECT_FALSE(NTConvertToImageActivity().activityViewController());
}

TEST_F(ShareImageTest, TheCardFitsTheTextWithMarginsAndFooter) {
  auto oneLine = note("Shopping list");
  ui::Size text = ui::boundingSize(oneLine, NTConvertToImageActivity::kTextWidth);
  ui::Size card = NTConvertToImageActivity::cardSize(oneLine);
  EXPECT_EQ(card.width, std::ceil(text.width) + 20);
  EXPECT_EQ(card.height, std::ceil(text.height) + 34);

  // A long line wraps at 355 points: the card is never wider than 375.
  auto long_ = note(std::string(40, 'w') + " " + std::string(40, 'm') + " and more words after them");
  ui::Size wrapped = NTConvertToImageActivity::cardSize(long_);
  EXPECT_LE(wrapped.width, 375);
  EXPECT_GT(wrapped.height, card.height);
}

TEST_F(ShareImageTest, TheActivityHandsOnTheDrawnCardAndThePrintFormatter) {
  auto text = note("Shopping list");
  NTConvertToImageActivity activity;
  activity.prepare({std::string("Shopping list"), NTConvertToImageItem{text}});
  auto sheet = std::dynamic_pointer_cast<ui::ActivityViewController>(activity.activityViewController());
  ASSERT_TRUE(sheet);
  ASSERT_EQ(sheet->activityItems().size(), 2u);
  auto* image = std::any_cast<ui::ImagePtr>(&sheet->activityItems()[0]);
  ASSERT_TRUE(image && *image);
  ui::Size card = NTConvertToImageActivity::cardSize(text);
  const auto& bitmap = *(*image)->bitmap();
  double scale = ui::Screen::main().scale();
  EXPECT_EQ(bitmap.pixelWidth(), int(card.width * scale));
  EXPECT_EQ(bitmap.pixelHeight(), int(card.height * scale));
  // A black frame, white margins, dark text.
  auto pixel = [&](double x, double y) { return bitmap.pixel(int(x * scale), int(y * scale)); };
  EXPECT_EQ(pixel(0, card.height / 2), (cg::Pixel{0, 0, 0, 255}));
  EXPECT_EQ(pixel(5, 5), (cg::Pixel{255, 255, 255, 255}));
  bool dark = false;
  for (double x = 10; x < card.width - 10 && !dark; x += 1.0 / scale)
    for (double y = 10; y < card.height - 14 && !dark; y += 1.0 / scale) dark = pixel(x, y).r < 100;
  EXPECT_TRUE(dark);
  EXPECT_NE(std::any_cast<ui::SimpleTextPrintFormatter>(&sheet->activityItems()[1]), nullptr);
}

}  // namespace
