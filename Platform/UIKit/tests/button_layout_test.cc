// Where a button puts its image.
#include <gtest/gtest.h>

#include "Platform/Graphics/Image.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/ImageView.h"

namespace ui {
namespace {

TEST(ButtonLayoutTest, AnImageLargerThanTheButtonShrinksToFitKeepingItsShape) {
  struct Case {
    int pixelWidth, pixelHeight;
    Rect imageFrame;
  };
  const Case cases[] = {
      {180, 90, Rect(0, 15, 60, 30)},   // too wide: as wide as the button
      {180, 180, Rect(0, 0, 60, 60)},
      {20, 30, Rect(20, 15, 20, 30)},   // small enough: its own size, centred
  };
  for (const auto& c : cases) {
    Button button(ButtonType::Custom);
    button.setFrame({0, 0, 60, 60});
    button.setImage(Image::withBitmap(cg::Image::filled(c.pixelWidth, c.pixelHeight, cg::Rgba{0, 0, 1, 1})));
    button.layoutSubviews();
    EXPECT_EQ(button.imageView().frame(), c.imageFrame) << c.pixelWidth << " x " << c.pixelHeight;
  }
}

}  // namespace
}  // namespace ui
