// The what's-new card (texts, the theme colour or the view's tint, "Rate
// us") and the message card (actions by position, of any type).
#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/MessageViewController.h"
#include "Libraries/AppSupportKit/TXWhatsNewViewController.h"
#include "Libraries/AppSupportKit/tests/kit_popup_fixture.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/TextDrawing.h"

namespace {

using kit_popup_testing::KitPopupTest;
using ui::Input;

// The pixel at the centre of an image.
cg::Pixel centre(const ui::Image& image) {
  return image.bitmap()->pixel(image.bitmap()->pixelWidth() / 2, image.bitmap()->pixelHeight() / 2);
}
cg::Pixel pixelOf(const ui::Color& color) {
  cg::Rgba c = ui::rgba(color);
  auto byte = [](double v) { return static_cast<uint8_t>(v * 255 + 0.5); };
  return {byte(c.red), byte(c.green), byte(c.blue), byte(c.alpha)};
}

class TXWhatsNewTest : public KitPopupTest {
 protected:
  std::shared_ptr<TXWhatsNewViewController> showCard(ui::ColorPtr theme) {
    auto card = std::make_shared<TXWhatsNewViewController>();
    card->setThemeColor(std::move(theme));
    card->setWhatsNewVersion("1.9");
    card->setWhatsNewReleaseNotes("Folders keep their order.");
    present(card);
    return popup<TXWhatsNewViewController>();
  }
};

TEST_F(TXWhatsNewTest, CardTextsAndTheThemeColourOrTheTint) {
  for (ui::ColorPtr theme : {ui::ColorPtr(), ui::Color::withRGBA(0.8, 0.2, 0.4)}) {
    SCOPED_TRACE(theme ? "themed" : "no theme");
    auto card = showCard(theme);
    ASSERT_TRUE(card);
    EXPECT_TRUE(shows("What's new in 1.9")) << screen();
    EXPECT_TRUE(shows("Folders keep their order.")) << screen();
    EXPECT_TRUE(shows("Enjoying Quill?")) << screen();
    EXPECT_TRUE(shows("Please tell us how we're doing")) << screen();
    EXPECT_EQ(card->rateUsButton()->titleForState(ui::kControlStateNormal), "Rate us");
    EXPECT_EQ(card->view()->layer().cornerRadius(), 10);
    ASSERT_TRUE(card->whatsnewImageView()->image());
    EXPECT_EQ(card->whatsnewImageView()->image()->name(), "WhatsNew");

    ui::ColorPtr expected = theme ? theme : card->view()->tintColor();
    EXPECT_EQ(card->themeColor(), expected);
    auto circle = card->backgroundCircleImageView()->image();
    ASSERT_TRUE(circle);
    EXPECT_EQ(circle->size(), (ui::Size{78, 78}));
    EXPECT_EQ(centre(*circle), pixelOf(*expected));
    for (uint32_t state : {ui::kControlStateNormal, ui::kControlStateDisabled}) {
      auto background = card->rateUsButton()->backgroundImageForState(state);
      ASSERT_TRUE(background);
      EXPECT_EQ(centre(*background), pixelOf(*expected));
    }
    EXPECT_EQ(pixelOf(*card->rateUsButton()->titleColorForState(ui::kControlStateNormal)), pixelOf(*ui::Color::white()));

    ASSERT_TRUE(Input::tap("Close"));
    EXPECT_FALSE(popup<TXWhatsNewViewController>());
    Input::advance(2);
  }
  EXPECT_EQ(dismissals_, 2);
}

TEST_F(TXWhatsNewTest, RateUsMarksTheVersionRatedAndClosesAMomentLater) {
  auto card = showCard(nullptr);
  ASSERT_TRUE(card);
  card->didTapRateButton();
  EXPECT_TRUE(QBRate::sharedInstance().ratedThisVersion());
  EXPECT_FALSE(QBRate::sharedInstance().shouldPromptForRating()) << "no prompt for this version";
  EXPECT_EQ(ui::Application::shared().openedURLs().back(), QBRate::sharedInstance().ratingsURL().absoluteString());
  ns::Clock::advance(0.29);
  dispatch::RunLoop::main().drain();
  EXPECT_EQ(dismissals_, 0);
  Input::settle();
  EXPECT_EQ(dismissals_, 1);
  EXPECT_FALSE(popup<TXWhatsNewViewController>());
}

TEST_F(KitPopupTest, MessageActionsAreReadByPositionAndOnlyAsStrings) {
  const ns::Value address("https://quill.example/news");
  struct Case {
    const char* name;
    ns::Array actions;
    std::string okTitle;
    std::string extraTitle;
    bool extraShown;
  };
  const std::vector<Case> cases = {
      {"none", {}, "OK", "More", false},
      {"ok only", {ns::Value("Got it")}, "Got it", "More", false},
      {"three", {ns::Value("Sure"), ns::Value("unused"), ns::Value("Visit")}, "Sure", "Visit", false},
      {"four", {ns::Value("Sure"), ns::Value("unused"), ns::Value("Visit"), address}, "Sure", "Visit", true},
      {"titles of other types", {ns::Value(1), ns::Value(2), ns::Value(ns::Dictionary{{"en", ns::Value("Go")}}), address},
       "OK", "More", false},
      {"address a number", {ns::Value("Sure"), ns::Value(""), ns::Value("Visit"), ns::Value(7)}, "Sure", "Visit", false},
      {"address no URL", {ns::Value("Sure"), ns::Value(""), ns::Value("Visit"), ns::Value("not an address")}, "Sure",
       "Visit", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto image = ui::Image::withBitmap(cg::Image::filled(20, 10, {0, 0, 1, 1}, 2));
    present(std::make_shared<MessageViewController>("News", "Folders are here.", image, c.actions));
    auto card = popup<MessageViewController>();
    ASSERT_TRUE(card);
    EXPECT_EQ(card->titleLabel()->text(), "News");
    EXPECT_EQ(card->messageLabel()->text(), "Folders are here.");
    EXPECT_EQ(card->imageView()->image(), image);
    EXPECT_TRUE(card->view()->clipsToBounds());
    EXPECT_EQ(card->view()->layer().cornerRadius(), 10);
    EXPECT_EQ(card->buttonOk()->titleForState(ui::kControlStateNormal), c.okTitle);
    EXPECT_EQ(card->buttonExtra()->titleForState(ui::kControlStateNormal), c.extraTitle);
    EXPECT_EQ(!card->extraButtonView()->isHidden(), c.extraShown);
    size_t opened = ui::Application::shared().openedURLs().size();
    if (c.extraShown) {
      ASSERT_TRUE(Input::tap(c.extraTitle));
      ASSERT_EQ(ui::Application::shared().openedURLs().size(), opened + 1);
      EXPECT_EQ(ui::Application::shared().openedURLs().back(), address.stringValue());
    } else {
      ASSERT_TRUE(Input::tap(c.okTitle));
      EXPECT_EQ(ui::Application::shared().openedURLs().size(), opened);
    }
    EXPECT_FALSE(popup<MessageViewController>());
    Input::advance(2);
  }
}

}  // namespace
