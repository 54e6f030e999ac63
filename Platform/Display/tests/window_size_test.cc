// The window's size: the screen's pixels where the desktop has room, the
// screen's aspect kept whatever a person makes of it.
#include <gtest/gtest.h>

#include "Platform/Display/WindowSize.h"

namespace display {
namespace {

constexpr PixelSize kPhone{1170, 2532};

TEST(WindowSizeTest, TheScreensPixelsShrinkOnlyToFitTheDesktop) {
  EXPECT_EQ(fittedSize(kPhone, {1920, 2600}), kPhone);
  EXPECT_EQ(fittedSize(kPhone, {1920, 1080}), (PixelSize{499, 1080}));
  EXPECT_EQ(fittedSize(kPhone, {400, 4000}), (PixelSize{400, 866}));
  EXPECT_EQ(fittedSize(kPhone, {0, 0}), kPhone) << "a desktop of unknown size";
}

TEST(WindowSizeTest, AResizeKeepsTheAspectWithTheSideMovedMoreLeading) {
  struct Case {
    PixelSize from, to, kept;
  };
  const Case cases[] = {
      {kPhone, {600, 900}, {416, 900}},        // the height moved more
      {{416, 900}, {520, 905}, {520, 1125}},   // the width did
      {{416, 900}, {416, 900}, {416, 900}},
      {{416, 900}, {833, 900}, {833, 1803}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(aspectKept(kPhone, c.from, c.to), c.kept) << c.to.width << "x" << c.to.height;
  }
}

}  // namespace
}  // namespace display
