// The screen as a picture: sizes, how views compose, what the kinds of
// views draw, windows above windows and the keyboard, read back pixel by
// pixel at places the frames fix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "Platform/Foundation/FileManager.h"
#include "Platform/Graphics/testing/Pictures.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/DatePicker.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/ParagraphStyle.h"
#include "Platform/UIKit/ProgressViews.h"
#include "Platform/UIKit/ScreenPicture.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/Switch.h"
#include "Platform/UIKit/TableViewController.h"
#include "Platform/UIKit/TextAttachment.h"
#include "Platform/UIKit/TextField.h"
#include "Platform/UIKit/TextView.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

using cg::Pixel;
using cg::testing::darkPixels;
using cg::testing::pixelAt;

class ScreenPictureTest : public testing::InterfaceTest {
 protected:
  // A key window filled white with `views` in it.
  std::shared_ptr<Window> showViews(const std::vector<std::shared_ptr<View>>& views) {
    window_ = std::make_shared<Window>();
    window_->setBackgroundColor(Color::white());
    for (const auto& v : views) window_->addSubview(v);
    window_->makeKeyAndVisible();
    return window_;
  }
  static std::shared_ptr<View> box(const Rect& frame, ColorPtr color) {
    auto v = View::make(frame);
    v->setBackgroundColor(std::move(color));
    return v;
  }
};

void expectNear(Pixel actual, Pixel expected, const char* what) {
  EXPECT_NEAR(actual.r, expected.r, 3) << what;
  EXPECT_NEAR(actual.g, expected.g, 3) << what;
  EXPECT_NEAR(actual.b, expected.b, 3) << what;
}

// A place of the picture and the colour it must have there.
struct Spot {
  double x, y;
  Pixel colour;
  const char* what;
};

void expectSpots(const cg::Image& picture, std::initializer_list<Spot> spots) {
  for (const Spot& s : spots) expectNear(pixelAt(picture, s.x, s.y), s.colour, s.what);
}

TEST_F(ScreenPictureTest, HasTheSizeAndScaleOfTheDevicesScreen) {
  struct Case {
    ns::UserInterfaceIdiom idiom;
    ns::DeviceOrientation orientation;
    int width, height;
    double scale;
  } cases[] = {
      {ns::UserInterfaceIdiom::Phone, ns::DeviceOrientation::Portrait, 1170, 2532, 3},
      {ns::UserInterfaceIdiom::Pad, ns::DeviceOrientation::Portrait, 1640, 2360, 2},
      {ns::UserInterfaceIdiom::Phone, ns::DeviceOrientation::LandscapeLeft, 2532, 1170, 3},
  };
  for (const auto& c : cases) {
    ns::DeviceFacts facts = ns::Device::current().facts();
    facts.idiom = c.idiom;
    facts.orientation = c.orientation;
    ns::Device::current().setFacts(facts);
    auto picture = ScreenPicture::capture();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixelWidth(), c.width);
    EXPECT_EQ(picture->pixelHeight(), c.height);
    EXPECT_EQ(picture->scale(), c.scale);
    EXPECT_TRUE(picture->isOpaque());
  }
}

TEST_F(ScreenPictureTest, ViewsComposeAsLayers) {
  // Half transparent red with an opaque blue child: one layer, so where
  // the child lies it is blue at half over white, not blue over pink.
  auto faded = box(Rect(10, 100, 40, 40), Color::red());
  faded->setAlpha(0.5);
  faded->addSubview(box(Rect(20, 20, 40, 40), Color::blue()));
  // Rounded and clipping: its corner shows what lies behind.
  auto rounded = box(Rect(100, 100, 60, 60), Color::withRGBA(0, 1, 0));
  rounded->layer().setCornerRadius(20);
  rounded->setClipsToBounds(true);
  rounded->addSubview(box(Rect(0, 0, 60, 60), Color::black()));
  auto bordered = box(Rect(200, 100, 60, 60), nullptr);
  bordered->layer().setBorderWidth(4);
  bordered->layer().setBorderColor(Color::blue());
  auto shadowed = box(Rect(300, 100, 40, 40), Color::white());
  shadowed->layer().setShadowColor(Color::black());
  shadowed->layer().setShadowOpacity(1);
  shadowed->layer().setShadowRadius(0);
  shadowed->layer().setShadowOffset({0, 10});
  auto hidden = box(Rect(10, 300, 40, 40), Color::red());
  hidden->setHidden(true);
  auto turned = box(Rect(100, 300, 40, 10), Color::black());
  turned->setTransform(AffineTransform::rotation(std::acos(-1.0) / 2));  // now 10 wide, 40 high
  showViews({faded, rounded, bordered, shadowed, hidden, turned});

  expectSpots(*ScreenPicture::capture(), {
      {12, 102, {255, 128, 128, 255}, "red at half"},
      {40, 130, {128, 128, 255, 255}, "the child composed with its parent"},
      {101, 101, {255, 255, 255, 255}, "a clipped corner"},
      {130, 130, {0, 0, 0, 255}, "the child inside the clip"},
      {201, 130, {0, 0, 255, 255}, "the border"},
      {230, 130, {255, 255, 255, 255}, "inside the border"},
      {320, 145, {0, 0, 0, 255}, "the shadow below"},
      {20, 320, {255, 255, 255, 255}, "a hidden view"},
      {120, 292, {0, 0, 0, 255}, "turned upright"},
      {135, 305, {255, 255, 255, 255}, "beside the turned view"},
  });
}

TEST_F(ScreenPictureTest, LabelsButtonsAndImagesDrawWhatTheyShow) {
  auto label = std::make_shared<Label>(Rect(20, 100, 200, 60));
  label->setText("MMMM");
  label->setFont(Font::systemFont(20));
  // A system button takes the tint of where it stands, whenever it was titled.
  auto button = Button::withType(ButtonType::System);
  button->setTitle("WWWW");
  button->setFrame(Rect(20, 200, 200, 44));
  auto tinted = View::make(Rect(0, 0, 390, 300));
  tinted->setTintColor(Color::withRGBA(1, 0, 0));
  tinted->addSubview(button);
  // A template image in the image view's tint.
  auto mask = cg::Image::filled(10, 10, cg::Rgba::black(), 1);
  auto image = std::make_shared<ImageView>(Image::withBitmap(mask)->withRenderingMode(ImageRenderingMode::AlwaysTemplate));
  image->setFrame(Rect(300, 100, 40, 20));
  image->setContentMode(ContentMode::ScaleAspectFit);  // 20 x 20 in the middle
  image->setTintColor(Color::withRGBA(0, 1, 0));
  showViews({label, tinted, image});

  auto picture = ScreenPicture::capture();
  EXPECT_GT(darkPixels(*picture, Rect(20, 110, 100, 40)), 100);
  // One line, centred: the top and bottom of the label stay white.
  EXPECT_EQ(darkPixels(*picture, Rect(20, 100, 200, 12)), 0);
  EXPECT_EQ(darkPixels(*picture, Rect(20, 148, 200, 12)), 0);
  int red = 0;
  for (double x = 20; x < 220; x += 0.5) {
    Pixel p = pixelAt(*picture, x, 222);
    if (p.r > 200 && p.g < 80 && p.b < 80) ++red;
  }
  EXPECT_GT(red, 10) << "the title in the inherited tint";
  expectNear(pixelAt(*picture, 320, 110), {0, 255, 0, 255}, "the tinted image");
  expectNear(pixelAt(*picture, 302, 110), {255, 255, 255, 255}, "beside the fitted image");
}

class Rows : public TableViewController {
 public:
  int numberOfRows(TableView&, int) override { return 3; }
  std::shared_ptr<TableViewCell> cellForRow(TableView&, const IndexPath& path) override {
    auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Cell");
    cell->textLabel().setText("Row " + std::to_string(path.row));
    return cell;
  }
  bool canMoveRow(TableView&, const IndexPath&) override { return true; }
  std::optional<std::vector<std::shared_ptr<TableViewRowAction>>> editActionsForRow(TableView&,
                                                                                    const IndexPath&) override {
    auto more = TableViewRowAction::make(TableViewRowActionStyle::Normal, "More", nullptr);
    more->setBackgroundColor(Color::withRGBA(0, 0, 1));
    return std::vector<std::shared_ptr<TableViewRowAction>>{
        TableViewRowAction::make(TableViewRowActionStyle::Destructive, "Delete", nullptr), more};
  }
};

TEST_F(ScreenPictureTest, TablesShowSelectionEditingAndSwipedRows) {
  auto rows = std::make_shared<Rows>();
  auto nav = std::make_shared<NavigationController>(rows);
  rows->setTitle("Rows");
  show(nav);
  // The rows start under the bar: 47 + 44 points down, 44 points each.
  const double top = 91;
  rows->tableView().selectRow(IndexPath{0, 1}, false, TableViewScrollPosition::None);
  auto picture = ScreenPicture::capture();
  expectNear(pixelAt(*picture, 200, top + 44 + 4), {209, 209, 214, 255}, "the selected row");
  expectNear(pixelAt(*picture, 200, top + 4), {255, 255, 255, 255}, "a row not selected");
  // The bottom pixel row of the first row.
  Pixel separator = pixelAt(*picture, 200, top + 44 - 0.75);
  EXPECT_LT(separator.r, 250) << "the line between rows";
  EXPECT_EQ(pixelAt(*picture, 5, top + 44 - 0.75), (Pixel{255, 255, 255, 255})) << "separators start inset";

  rows->setEditing(true, false);
  rows->tableView().revealRowActions(IndexPath{0, 2});  // editing closes it: not shown
  rows->tableView().setEditing(true, false);
  picture = ScreenPicture::capture();
  expectNear(pixelAt(*picture, 19, top + 15), {255, 59, 48, 255}, "the delete control, above its minus");
  Pixel grip = pixelAt(*picture, 390 - 21, top + 22);
  EXPECT_LT(grip.r, 200) << "the reorder control";

  rows->setEditing(false, false);
  rows->tableView().revealRowActions(IndexPath{0, 2});
  picture = ScreenPicture::capture();
  expectNear(pixelAt(*picture, 389, top + 88 + 22), {0, 0, 255, 255}, "the last action at the end");
  // "Delete" stands before "More": red somewhere left of the blue.
  int red = 0;
  for (double x = 200; x < 389; x += 1) {
    Pixel p = pixelAt(*picture, x, top + 88 + 4);
    if (p.r == 255 && p.g == 59 && p.b == 48) ++red;
  }
  EXPECT_GT(red, 40);
  rows->tableView().userSelectRow(IndexPath{0, 0});  // a tap closes it
  picture = ScreenPicture::capture();
  expectNear(pixelAt(*picture, 389, top + 88 + 22), {255, 255, 255, 255}, "closed again");
}

TEST_F(ScreenPictureTest, NavigationBarsReachUnderTheStatusBarWithTheTitleCentred) {
  auto root = std::make_shared<ViewController>();
  root->setTitle("IIIIIIII");
  auto nav = std::make_shared<NavigationController>(root);
  nav->navigationBar().setBarTintColor(Color::withRGBA(0, 0, 1));
  show(nav);
  auto picture = ScreenPicture::capture();
  expectNear(pixelAt(*picture, 5, 5), {0, 0, 255, 255}, "the bar's colour under the status bar");
  expectNear(pixelAt(*picture, 5, 80), {0, 0, 255, 255}, "the bar");
  EXPECT_GT(darkPixels(*picture, Rect(175, 60, 40, 20)), 20) << "the title, dark on the bar";
  EXPECT_EQ(darkPixels(*picture, Rect(20, 60, 100, 20)), 0);
  expectNear(pixelAt(*picture, 5, 100), {255, 255, 255, 255}, "the content below the bar");
}

TEST_F(ScreenPictureTest, ControlsShowTheirState) {
  auto on = std::make_shared<Switch>();
  on->setFrame(Rect(20, 100, 51, 31));
  on->setOn(true);
  auto off = std::make_shared<Switch>();
  off->setFrame(Rect(100, 100, 51, 31));
  auto progress = std::make_shared<ProgressView>();
  progress->setFrame(Rect(20, 200, 200, 4));
  progress->setProgress(0.5);
  progress->setProgressTintColor(Color::withRGBA(1, 0, 0));
  progress->setTrackTintColor(Color::withRGBA(0, 0, 1));
  auto picker = std::make_shared<DatePicker>();
  picker->setFrame(Rect(20, 300, 350, 200));
  picker->setTimeZoneName("UTC");
  picker->setLocaleIdentifier("en_US");
  picker->setDate(ns::Date(800000000.0));
  showViews({on, off, progress, picker});
  auto picture = ScreenPicture::capture();
  expectSpots(*picture, {
      {28, 115.5, {52, 199, 89, 255}, "on: the track, the knob on the right"},
      {60, 115.5, {255, 255, 255, 255}, "on: the knob"},
      {142, 115.5, {234, 234, 235, 255}, "off: the pale track, the knob on the left"},
      {60, 202, {255, 0, 0, 255}, "the part done"},
      {180, 202, {0, 0, 255, 255}, "the part to go"},
  });
  // The picked date stands in the band in the middle, darkest.
  EXPECT_GT(darkPixels(*picture, Rect(30, 384, 330, 32)), 300);
  EXPECT_EQ(darkPixels(*picture, Rect(30, 350, 330, 30), 60), 0) << "the neighbours are faded";
}

TEST_F(ScreenPictureTest, RichTextDrawsParagraphStylesAndAttachments) {
  auto centred = std::make_shared<ParagraphStyle>();
  centred->setAlignment(TextAlignment::Center);
  ns::AttributedString text("IIII\n", {{ns::kParagraphStyleAttributeName,
                                          ns::AttributeValue(std::shared_ptr<const ParagraphStyle>(centred))}});
  auto red = cg::Image::filled(30, 30, cg::Rgba{1, 0, 0, 1}, 1);
  text.append(ns::AttributedString(
      std::u16string(1, ns::kAttachmentCharacter),
      {{ns::kAttachmentAttributeName, ns::AttributeValue(TextAttachment::withPNG(red->pngData()))}}));
  auto view = std::make_shared<TextView>(Rect(0, 100, 390, 300));
  view->setAttributedText(text);
  showViews({view});
  auto picture = ScreenPicture::capture();
  // The centred line: dark in the middle, nothing on the left.
  EXPECT_GT(darkPixels(*picture, Rect(170, 105, 50, 25)), 30);
  EXPECT_EQ(darkPixels(*picture, Rect(0, 105, 150, 25)), 0);
  // The image on the next line, at the text's start (inset 5), its own size.
  int redPixels = 0;
  for (double y = 120; y < 200; y += 1)
    for (double x = 0; x < 60; x += 1) {
      Pixel p = pixelAt(*picture, x, y);
      if (p.r == 255 && p.g == 0 && p.b == 0) ++redPixels;
    }
  EXPECT_NEAR(redPixels, 30 * 30, 90);
}

class Mystery : public View {
 public:
  using View::View;
  std::string typeName() const override { return "Mystery"; }
  std::string screenText() const override { return "a mystery"; }
};

TEST_F(ScreenPictureTest, AViewItCannotDrawIsOutlinedNotLeftOut) {
  showViews({std::make_shared<Mystery>(Rect(50, 200, 200, 40))});
  auto picture = ScreenPicture::capture();
  Pixel edge = pixelAt(*picture, 50.2, 220);
  EXPECT_GT(edge.r, 150);
  EXPECT_LT(edge.b, 60);
  Pixel inside = pixelAt(*picture, 55, 204);
  EXPECT_NE(inside, (Pixel{255, 255, 255, 255})) << "a tinted fill marks the area";
}

TEST_F(ScreenPictureTest, WindowsAboveTheKeyWindowAndTheKeyboardShow) {
  auto field = std::make_shared<TextField>(Rect(20, 100, 300, 30));
  showViews({field});
  auto above = std::make_shared<Window>();
  above->setWindowLevel(kWindowLevelAlert);
  above->setBackgroundColor(Color::withWhite(0, 0.5));
  above->addSubview(box(Rect(100, 400, 50, 50), Color::withRGBA(0, 1, 0)));
  above->makeKeyAndVisible();
  field->becomeFirstResponder();

  auto picture = ScreenPicture::capture();
  expectNear(pixelAt(*picture, 5, 5), {128, 128, 128, 255}, "white dimmed by the window above");
  expectNear(pixelAt(*picture, 120, 420), {0, 255, 0, 255}, "the window above");
  expectNear(pixelAt(*picture, 200, 843), {209, 212, 217, 255}, "the keyboard");
  expectNear(pixelAt(*picture, 200, 844 - 291 - 1), {128, 128, 128, 255}, "above the keyboard");
  field->resignFirstResponder();
  picture = ScreenPicture::capture();
  expectNear(pixelAt(*picture, 200, 843), {128, 128, 128, 255}, "no keyboard");
}

TEST_F(ScreenPictureTest, OneViewAloneIsItsBoundsOnATransparentGround) {
  auto panel = box(Rect(100, 100, 40, 20), Color::blue());
  panel->layer().setCornerRadius(10);
  auto picture = ScreenPicture::capture(*panel, 2);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->pixelWidth(), 80);
  EXPECT_EQ(picture->pixelHeight(), 40);
  EXPECT_EQ(picture->pixel(40, 20), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(picture->pixel(0, 0).a, 0) << "outside the rounded corner";
}

TEST_F(ScreenPictureTest, WritesAPNGWholeOrReportsWhy) {
  showViews({box(Rect(0, 0, 10, 10), Color::black())});
  std::string dir = ns::Device::current().directory();
  std::string path = dir + "/screen.png";
  ns::Error error;
  ASSERT_TRUE(ScreenPicture::writePNG(path, &error)) << error.localizedDescription();
  auto back = cg::Image::fromFile(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pixelWidth(), 1170);
  EXPECT_EQ(back->pixel(1, 1), (Pixel{0, 0, 0, 255}));
  EXPECT_FALSE(ScreenPicture::writePNG(dir + "/no such directory/screen.png", &error));
  EXPECT_FALSE(error.domain().empty());
  EXPECT_FALSE(std::filesystem::exists(dir + "/no such directory"));
}

}  // namespace
}  // namespace ui
