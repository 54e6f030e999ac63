#include "Extension/ActionViewController.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>

#include "Extension/tests/jotshare_fixture.h"
#include "Notes/ActionHelper.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTSettings.h"
#include "Platform/ExtensionHost/TypeIdentifier.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/ScreenText.h"

namespace {

namespace fs = std::filesystem;
using jotshare::testing::JotshareTest;

bool same(const ui::ColorPtr& a, const ui::ColorPtr& b) { return a && b && a->isEqual(*b); }

class ActionViewControllerTest : public JotshareTest {
 protected:
  std::vector<std::string> handedOver() {
    std::vector<std::string> texts;
    for (const auto& note : ActionHelper::notesForImport()) texts.push_back(note.text.string());
    return texts;
  }
  // A main bundle of its own, with these Info.plist values.
  void useBundle(const ns::Dictionary& info) {
    std::string path = device().path("Other.appex");
    fs::create_directories(path);
    ASSERT_TRUE(ns::writePropertyListFile(info, path + "/Info.plist", ns::PropertyListFormat::XML, nullptr));
    ns::Bundle::setMainBundlePath(path);
  }
};

TEST_F(ActionViewControllerTest, TheScreenTakesTheAppsLooksAndTheExtensionsName) {
  auto screen = present({});
  auto bar = screen->navigationBar();
  ASSERT_TRUE(bar);
  EXPECT_TRUE(same(screen->view()->tintColor(), NTAppearance::tintColor()));
  EXPECT_TRUE(same(bar->tintColor(), NTAppearance::tintColor()));
  EXPECT_FALSE(bar->barTintColor());
  ASSERT_TRUE(bar->backgroundImage());
  EXPECT_EQ(bar->backgroundImage()->name(), "Body");
  ASSERT_TRUE(bar->shadowImage());
  EXPECT_EQ(bar->shadowImage()->size().width, 0);  // empty: no hairline
  EXPECT_TRUE(same(screen->view()->backgroundColor(), NTAppearance::detailBackgroundColor()));

  auto icon = std::dynamic_pointer_cast<ui::ImageView>(screen->barItem()->titleView());
  ASSERT_TRUE(icon && icon->image());
  EXPECT_EQ(icon->image()->name(), "AppIconMy");
  EXPECT_EQ(icon->frame().size.width, icon->image()->size().width);
  EXPECT_EQ(icon->frame().size.height, icon->image()->size().height);
  EXPECT_TRUE(same(icon->layer().shadowColor(), ui::Color::gray()));
  EXPECT_EQ(icon->layer().shadowOffset().height, 0.6);
  EXPECT_EQ(icon->layer().shadowOpacity(), 1.0);
  EXPECT_EQ(icon->layer().shadowRadius(), 0.6);
  EXPECT_FALSE(icon->clipsToBounds());

  EXPECT_EQ(screen->doneButton()->title(), "Jotshare");
  EXPECT_EQ(ui::ScreenText::render(), "Window (key)\n  NavigationBar: [Cancel] (AppIconMy) [Jotshare]\n  TextView \"\"\n");
}

TEST_F(ActionViewControllerTest, DoneIsNamedAfterTheBundleNameWhenTheDisplayNameIsEmpty) {
  useBundle({{"CFBundleIdentifier", "tavrix.Pennalo.Jotshare"}, {"CFBundleDisplayName", ""}, {"CFBundleName", "Notes Share"}});
  EXPECT_EQ(present({})->doneButton()->title(), "Notes Share");
}

TEST_F(ActionViewControllerTest, TheKeyboardMovesTheTextsBottomInsetsOnly) {
  auto screen = present({});
  auto text = screen->textView();
  text->setContentInset(ui::EdgeInsets{5, 6, 7, 8});
  text->setScrollIndicatorInsets(ui::EdgeInsets{1, 2, 3, 4});
  ASSERT_TRUE(ui::Input::tapView(*text));
  double keyboard = ui::Keyboard::shared().frame().height();
  EXPECT_GT(keyboard, 0);
  EXPECT_EQ(text->contentInset(), (ui::EdgeInsets{5, 6, keyboard, 8}));
  EXPECT_EQ(text->scrollIndicatorInsets(), (ui::EdgeInsets{1, 2, keyboard, 4}));
  text->resignFirstResponder();
  ui::Input::settle();
  EXPECT_EQ(text->contentInset(), (ui::EdgeInsets{5, 6, 0, 8}));
  EXPECT_EQ(text->scrollIndicatorInsets(), (ui::EdgeInsets{1, 2, 0, 4}));
  // Gone with the screen: a later keyboard reaches nobody.
  std::weak_ptr<ActionViewController> weak = screen;
  screen.reset();
  controller_.reset();
  window_.reset();
  dispatch::RunLoop::main().drain();
  EXPECT_TRUE(weak.expired());
}

TEST_F(ActionViewControllerTest, TheLoadedTextArrivesThroughTheMainQueueInTheNoteFont) {
  NTSettings::userDefaults()->setObject(ns::Value(25.0), NTSettings::kFontSizeKey);
  // The load waits until the screen is shown, so that showing it (which runs
  // the main loop) cannot already take the text in.
  std::promise<void> shown;
  std::shared_future<void> whenShown = shown.get_future().share();
  auto provider = std::make_shared<ext::ItemProvider>();
  provider->registerItem(ext::kTypePlainText, [this, whenShown](ns::Error*) -> std::optional<ext::Item> {
    whenShown.wait();
    ++loads_;
    return ext::Item(std::string("Shared words"));
  });
  context_ = std::make_shared<ext::ExtensionContext>(std::vector{inputItem({provider})});
  controller_ = std::make_shared<ActionViewController>();
  controller_->setExtensionContext(context_);
  controller_->textView();  // not loaded yet: no outlets
  show(controller_);
  shown.set_value();
  controller_->choice().attachment->waitUntilLoaded();
  EXPECT_EQ(shownText(), "");  // converted, but not yet on the main queue
  dispatch::RunLoop::main().drain();
  EXPECT_EQ(shownText(), "Shared words");
  auto font = controller_->textView()->attributedText().attributeAtIndex(ns::kFontAttributeName, 0).as<ui::Font>();
  EXPECT_EQ(font->pointSize(), 25);
  EXPECT_EQ(loads_, 1);
}

TEST_F(ActionViewControllerTest, ContentTextOfTheChosenItemIsShownWithoutLoading) {
  auto withText = inputItem({attachment(std::string("attachment"), {ext::kTypePlainText})});
  withText->setAttributedContentText(ns::AttributedString(
      "Content text", {{ns::kFontAttributeName, ui::Font::withName("DejaVu Serif", 8)}}));
  present({withText});
  EXPECT_EQ(shownText(), "Content text");
  EXPECT_EQ(loads_, 0);
  auto font = controller_->textView()->attributedText().attributeAtIndex(ns::kFontAttributeName, 0).as<ui::Font>();
  EXPECT_EQ(font->familyName(), NTSettings::kDefaultFontFamilyName);

  // Content text on an item without attachments is never chosen.
  auto alone = std::make_shared<ext::ExtensionItem>();
  alone->setAttributedContentText(ns::AttributedString("never shown"));
  present({alone});
  EXPECT_EQ(shownText(), "");
  EXPECT_FALSE(context_->isEnded());
}

TEST_F(ActionViewControllerTest, ALoadThatGivesNothingCancelsWithoutSaving) {
  auto broken = std::make_shared<ext::ItemProvider>();
  broken->registerItem(ext::kTypeRTF, [](ns::Error*) -> std::optional<ext::Item> { return std::nullopt; });
  present({inputItem({broken})});
  ASSERT_TRUE(context_->isEnded());
  EXPECT_FALSE(context_->outcome()->cancelled);  // completed, with nothing returned
  EXPECT_TRUE(handedOver().empty());
}

TEST_F(ActionViewControllerTest, DoneHandsTheEditedTextOverAndEndsTheRequest) {
  present({inputItem({attachment(std::string("Shared"), {ext::kTypePlainText})})});
  ASSERT_TRUE(ui::Input::tapView(*controller_->textView()));
  ASSERT_TRUE(ui::Input::type(" and edited"));
  ASSERT_TRUE(ui::Input::pressBarButton("Jotshare"));
  EXPECT_TRUE(context_->isEnded());
  EXPECT_EQ(handedOver(), (std::vector<std::string>{"Shared and edited"}));

  // Nothing shared, nothing typed: the empty text is still handed over.
  fs::remove_all(ActionHelper::URLForNotesToImport()->path());
  present({});
  ASSERT_TRUE(ui::Input::pressBarButton("Jotshare"));
  EXPECT_TRUE(context_->isEnded());
  EXPECT_EQ(handedOver(), (std::vector<std::string>{""}));

  // Cancel saves nothing.
  fs::remove_all(ActionHelper::URLForNotesToImport()->path());
  present({inputItem({attachment(std::string("Dropped"), {ext::kTypePlainText})})});
  ASSERT_TRUE(ui::Input::pressBarButton("Cancel"));
  EXPECT_TRUE(context_->isEnded());
  EXPECT_TRUE(handedOver().empty());
}

TEST_F(ActionViewControllerTest, AFailedWriteKeepsTheScreenAndSaysWhy) {
  // No group container for this bundle; then a hand-over "directory" that
  // is a file (as root too, where permissions would not stop the write).
  fs::path handOver = ActionHelper::URLForNotesToImport()->path();
  auto withoutGroup = [this] { useBundle({{"CFBundleIdentifier", "com.example.share"}, {"CFBundleName", "Share"}}); };
  auto fileInTheWay = [handOver] {
    fs::remove_all(handOver);
    std::ofstream(handOver) << "not a directory";
  };
  for (const std::function<void()>& breakIt : {std::function<void()>(withoutGroup), std::function<void()>(fileInTheWay)}) {
    breakIt();
    present({inputItem({attachment(std::string("Precious words"), {ext::kTypePlainText})})});
    ASSERT_TRUE(ui::Input::pressBarButton(controller_->doneButton()->title()));
    EXPECT_FALSE(context_->isEnded());
    auto alert = std::dynamic_pointer_cast<ui::AlertController>(controller_->presentedViewController());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), ActionViewController::kSaveFailedTitle);
    EXPECT_FALSE(alert->message().empty());
    ASSERT_TRUE(ui::Input::tap("OK"));
    EXPECT_FALSE(controller_->presentedViewController());
    EXPECT_EQ(shownText(), "Precious words");  // still there to try again or copy
    ns::Bundle::setMainBundlePath(jotshare::testing::sourceBundlePath());
  }
  // Once the directory can be made again, Done succeeds.
  fs::remove(handOver);
  ASSERT_TRUE(ui::Input::pressBarButton("Jotshare"));
  EXPECT_TRUE(context_->isEnded());
  EXPECT_EQ(handedOver(), (std::vector<std::string>{"Precious words"}));
}

}  // namespace
