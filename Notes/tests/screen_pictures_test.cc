// The app's screens as pictures, at the places their layout fixes: the
// first launch on a phone and on a pad, the folder list, the notes list in
// editing mode, the new-folder alert with its text field and the HUD with
// its ring. A few are kept as reference pictures in pictures/ (compared
// within a small tolerance per pixel; a difference is written side by side
// under the build directory).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "Libraries/UIComponents/QBProgressHUD.h"
#include "Notes/tests/launch_fixture.h"
#include "Platform/Graphics/testing/Pictures.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/ScreenPicture.h"
#include "Platform/UIKit/ScreenText.h"

namespace {

using cg::Pixel;
using cg::testing::darkPixels;
using cg::testing::pixelAt;
using notes::testing::LaunchTest;
using notes::testing::PadLaunchTest;

const std::string kPictures = std::string(QUILLBOX_SOURCE_DIR) + "/Notes/tests/pictures";
// Per colour channel, out of 255.
constexpr int kTolerance = 16;

int brightness(Pixel p) { return (p.r + p.g + p.b) / 3; }

bool near(Pixel a, Pixel b, int tolerance = 3) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

// The paper of the lists and bars ("Body").
bool isPaper(Pixel p) { return p.r > 235 && p.g > 230 && p.b > 215 && p.r >= p.b; }

constexpr Pixel kSelectedCell{0xF3, 0xDC, 0xCB, 255};
constexpr Pixel kTint{240, 62, 14, 255};
// Phone: the status bar, then the bar (47 + 44); rows of 44 after the
// search bar's 56.
constexpr double kPhoneRows = 91 + 56;

using ScreenPicturesTest = LaunchTest;
using PadScreenPicturesTest = PadLaunchTest;

TEST_F(ScreenPicturesTest, FirstLaunchOnAPhoneShowsTheNotesListUnderADarkTitle) {
  launch();
  auto picture = ui::ScreenPicture::capture();
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->pixelWidth(), 390 * 3);
  EXPECT_EQ(picture->pixelHeight(), 844 * 3);
  // The title "Notes", dark on the bar's paper, in the middle of the bar.
  EXPECT_TRUE(isPaper(pixelAt(*picture, 100, 69)));
  EXPECT_TRUE(isPaper(pixelAt(*picture, 195, 50)));
  EXPECT_GT(darkPixels(*picture, ui::Rect(165, 58, 60, 22)), 150);
  // The back button in the tint, on the left.
  int tinted = 0;
  for (double x = 8; x < 100; x += 1 / 3.0)
    if (near(pixelAt(*picture, x, 69), kTint, 40)) ++tinted;
  EXPECT_GT(tinted, 3);
  // The first note's row: its title in dark text.
  EXPECT_GT(darkPixels(*picture, ui::Rect(16, kPhoneRows + 10, 150, 24)), 200);
  // The add button, 14 points from the right and 8 from the bottom.
  EXPECT_TRUE(near(pixelAt(*picture, 390 - 14 - 28, 844 - 8 - 45), kTint, 60));
}

TEST_F(ScreenPicturesTest, TheFolderListShowsAllNotesInTheTintAndTheFolderInDarkText) {
  launch();
  ui::Input::goBack();
  auto picture = ui::ScreenPicture::capture();
  EXPECT_GT(darkPixels(*picture, ui::Rect(150, 58, 90, 22)), 150) << "the title \"Folders\"";
  int tinted = 0;
  for (double x = 50; x < 150; x += 1 / 3.0)
    if (near(pixelAt(*picture, x, kPhoneRows + 22), kTint, 40)) ++tinted;
  EXPECT_GT(tinted, 10) << "\"All Notes\" in the tint";
  EXPECT_GT(darkPixels(*picture, ui::Rect(50, kPhoneRows + 44 + 10, 100, 24)), 150) << "the folder \"Notes\"";
  EXPECT_TRUE(isPaper(pixelAt(*picture, 200, kPhoneRows + 200))) << "the paper under the rows";
}

TEST_F(ScreenPicturesTest, TheNotesListInEditingModeShowsDeleteAndReorderControls) {
  launch();
  ASSERT_TRUE(ui::Input::pressBarButton("Edit"));
  auto picture = ui::ScreenPicture::capture();
  double row = kPhoneRows + 22;
  EXPECT_TRUE(near(pixelAt(*picture, 19, row - 7), {255, 59, 48, 255})) << "the delete control";
  EXPECT_LT(brightness(pixelAt(*picture, 390 - 21, row)), 200) << "the reorder control";
  EXPECT_GT(darkPixels(*picture, ui::Rect(54, row - 12, 100, 24)), 200) << "the title moved aside";
  EXPECT_TRUE(cg::testing::matchesReference(*picture, kPictures, "phone-notes-editing", kTolerance));
}

TEST_F(ScreenPicturesTest, TheNewFolderAlertIsCentredOverADimmedScreen) {
  launch();
  ui::Input::goBack();
  auto before = ui::ScreenPicture::capture();
  ASSERT_TRUE(ui::Input::pressBarButton("Add"));
  auto picture = ui::ScreenPicture::capture();
  // The panel, 270 points wide, in the middle; the rest dimmed.
  double x0 = (390 - 270) / 2.0;
  double y = 400;
  EXPECT_LT(brightness(pixelAt(*picture, x0 - 2, y)), brightness(pixelAt(*before, x0 - 2, y)) - 30) << "dimmed";
  EXPECT_GT(brightness(pixelAt(*picture, x0 + 4, y)), 240) << "the panel";
  EXPECT_GT(brightness(pixelAt(*picture, 390 - x0 - 4, y)), 240) << "the panel's right side";
  EXPECT_LT(brightness(pixelAt(*picture, 390 - x0 + 2, y)), brightness(pixelAt(*before, 390 - x0 + 2, y)) - 30);
  // The title is dark inside the panel; the field is focused, so the
  // keyboard covers the bottom.
  EXPECT_GT(darkPixels(*picture, ui::Rect(x0, 340, 270, 80)), 200);
  EXPECT_TRUE(near(pixelAt(*picture, 200, 843), {209, 212, 217, 255}));
  ASSERT_TRUE(ui::Input::type("Work"));
  picture = ui::ScreenPicture::capture();
  EXPECT_TRUE(cg::testing::matchesReference(*picture, kPictures, "phone-new-folder-alert", kTolerance));
}

TEST_F(ScreenPicturesTest, TheHudShowsItsRingInAPanelOverTheMask) {
  launch();
  auto before = ui::ScreenPicture::capture();
  QBProgressHUD::showWithStatus("Saving");
  ui::Input::settle();
  auto picture = ui::ScreenPicture::capture();
  // Shown: the text screen tells of it too.
  EXPECT_NE(ui::ScreenText::render().find("[HUD] Saving"), std::string::npos) << ui::ScreenText::render();
  // The panel stands at 0.45 of the height; the ring at its top, the text under it.
  auto hud = QBProgressHUD::sharedView();
  ui::Rect panel = hud->hudView().frame();
  EXPECT_NEAR(panel.midX(), 195, 1);
  EXPECT_NEAR(panel.midY(), std::floor(0.45 * 844), 1);
  EXPECT_GT(brightness(pixelAt(*picture, panel.minX() + 4, panel.midY())), 200) << "the light panel";
  EXPECT_LT(brightness(pixelAt(*picture, 20, 500)), brightness(pixelAt(*before, 20, 500)) - 60) << "the black mask";
  ui::Rect ring = hud->indefiniteAnimatedView().convertRectTo(hud->indefiniteAnimatedView().bounds(), nullptr);
  EXPECT_GT(darkPixels(*picture, ring), 100) << "the ring";
  EXPECT_GT(brightness(pixelAt(*picture, ring.midX(), ring.midY())), 200) << "open in the middle";
  EXPECT_GT(darkPixels(*picture, ui::Rect(panel.minX(), ring.maxY(), panel.width(), panel.maxY() - ring.maxY())), 50)
      << "the status";
  EXPECT_TRUE(cg::testing::matchesReference(*picture, kPictures, "phone-hud", kTolerance));
  QBProgressHUD::dismiss();
  ui::Input::settle();
}

TEST_F(ScreenPicturesTest, SearchingKeepsTheBarAndTheSearchFieldAboveTheResults) {
  launch();
  ASSERT_TRUE(ui::Input::tap("Search"));
  ASSERT_TRUE(ui::Input::type("first"));
  auto picture = ui::ScreenPicture::capture();
  EXPECT_GT(darkPixels(*picture, ui::Rect(165, 58, 60, 22)), 150) << "the bar's title";
  EXPECT_GT(darkPixels(*picture, ui::Rect(38, 101, 60, 36)), 150) << "the typed text in the field";
  EXPECT_GT(darkPixels(*picture, ui::Rect(16, kPhoneRows + 10, 150, 24)), 200) << "the result under it";
}

// An emoji is drawn in its own colours by the emoji font, not as a box;
// the keyboard's keys stand in the order the screen prints them, none cut
// short. (The pad's first launch shows the editor's bar: Trash, then Share
// at the edge, as the text reads.)
TEST_F(ScreenPicturesTest, TheEditorDrawsAnEmojiInColourAndItsKeysAsTheyRead) {
  launch();
  ASSERT_TRUE(ui::Input::tap("AddButton"));
  ASSERT_TRUE(ui::Input::type("Flan \xF0\x9F\x8D\xAE tonight"));
  auto picture = ui::ScreenPicture::capture();
  // The flan's caramel and custard: yellow and brown, which neither the
  // text nor the tint is.
  int golden = 0;
  for (double y = 110; y < 160; y += 1 / 3.0)
    for (double x = 10; x < 200; x += 1 / 3.0) {
      Pixel p = pixelAt(*picture, x, y);
      if (p.r > 180 && p.g > 110 && p.b < 90) ++golden;
    }
  EXPECT_GT(golden, 100) << "the emoji in colour";
  EXPECT_TRUE(cg::testing::matchesReference(*picture, kPictures, "phone-editor-emoji", kTolerance));
}

TEST_F(PadScreenPicturesTest, FirstLaunchOnAPadShowsBothPanesWithTheNoteSelected) {
  launch();
  auto picture = ui::ScreenPicture::capture();
  EXPECT_EQ(picture->pixelWidth(), 820 * 2);
  EXPECT_EQ(picture->pixelHeight(), 1180 * 2);
  // The list on the left, 320 wide: status bar 24, bar 44, search bar 56.
  double row = 24 + 44 + 56 + 22;
  EXPECT_TRUE(near(pixelAt(*picture, 200, row - 18), kSelectedCell)) << "the selected row";
  EXPECT_GT(darkPixels(*picture, ui::Rect(16, row - 12, 180, 24)), 200) << "its title";
  EXPECT_LT(brightness(pixelAt(*picture, 319.25, 600)), 240) << "the line between the panes";
  // The editor on the right shows the note.
  EXPECT_GT(darkPixels(*picture, ui::Rect(330, 100, 300, 300)), 1000);
  EXPECT_TRUE(cg::testing::matchesReference(*picture, kPictures, "pad-first-launch", kTolerance));
}

}  // namespace
