#include <gtest/gtest.h>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/GeometryValue.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/PopoverPresentationController.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/TextField.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

using Strings = std::vector<std::string>;

class AlertTest : public testing::InterfaceTest {
 protected:
  std::shared_ptr<ViewController> root = std::make_shared<ViewController>();
  AlertTest() { show(root); }
};

TEST_F(AlertTest, HandlerRunsAfterTheButtonIsTappedAndTheAlertIsGone) {
  auto alert = AlertController::make("New Folder", "Enter a name for this folder.", AlertControllerStyle::Alert);
  Strings log;
  alert->addAction(AlertAction::make("Cancel", AlertActionStyle::Cancel, [&](AlertAction&) { log.push_back("cancel"); }));
  alert->addAction(AlertAction::make("Save", AlertActionStyle::Default, [&](AlertAction&) {
    log.push_back("save " + alert->textFields()[0]->text());
    // By now the alert is no longer presented.
    log.push_back(root->presentedViewController() ? "still presented" : "gone");
  }));
  alert->addTextField([](TextField& field) {
    field.setPlaceholder("Name");
    field.setClearButtonMode(TextFieldViewMode::Always);
  });
  root->presentViewController(alert, true);
  Input::settle();
  EXPECT_EQ(ScreenText::render(),
            "Window (key)\n"
            "  Presented AlertController:\n"
            "    Alert \"New Folder\"\n"
            "      \"Enter a name for this folder.\"\n"
            "      TextField [Name] \"\" (editing)\n"
            "      [Cancel]\n"
            "      [Save]\n");

  // The field has the keyboard as soon as the alert is up.
  EXPECT_TRUE(alert->textFields()[0]->isFirstResponder());
  ASSERT_TRUE(Input::type("Work"));
  EXPECT_TRUE(alert->textFields()[0]->showsClearButton());
  ASSERT_TRUE(Input::tap("Save")) << Input::lastFailure();
  EXPECT_EQ(log, (Strings{"save Work", "gone"}));
  EXPECT_EQ(ScreenText::render(), "Window (key)\n");
}

TEST_F(AlertTest, PlatformRulesAreEnforced) {
  auto alert = AlertController::make("T", "", AlertControllerStyle::Alert);
  alert->addAction(AlertAction::make("Cancel", AlertActionStyle::Cancel));
  EXPECT_THROW(alert->addAction(AlertAction::make("Close", AlertActionStyle::Cancel)), ns::Exception);
  auto sheet = AlertController::make("T", "", AlertControllerStyle::ActionSheet);
  EXPECT_THROW(sheet->addTextField(), ns::Exception);

  // A disabled action's button does not take taps until enabled.
  int ok = 0;
  auto action = AlertAction::make("OK", AlertActionStyle::Default, [&](AlertAction&) { ++ok; });
  action->setEnabled(false);
  alert->addAction(action);
  root->presentViewController(alert, false);
  EXPECT_FALSE(Input::tap("OK"));
  action->setEnabled(true);
  EXPECT_TRUE(Input::tap("OK"));
  EXPECT_EQ(ok, 1);
}

TEST_F(AlertTest, SheetsPutCancelLastAndDestructiveStyled) {
  auto sheet = AlertController::make("3 notes in folder \"Work\" will also be deleted", "Are you sure?",
                                     AlertControllerStyle::ActionSheet);
  sheet->addAction(AlertAction::make("Cancel", AlertActionStyle::Cancel));
  sheet->addAction(AlertAction::make("Delete", AlertActionStyle::Destructive));
  root->presentViewController(sheet, false);
  std::string screen = ScreenText::render();
  EXPECT_NE(screen.find("ActionSheet \"3 notes in folder \"Work\" will also be deleted\"\n"
                        "      \"Are you sure?\"\n"
                        "      [Delete]\n"
                        "      [Cancel]\n"),
            std::string::npos)
      << screen;
}

class PadAlertTest : public testing::InterfaceTest {
 protected:
  PadAlertTest() : InterfaceTest(ns::UserInterfaceIdiom::Pad) {}
};

TEST_F(PadAlertTest, SheetsNeedAPopoverSourceOnAPad) {
  auto root = std::make_shared<ViewController>();
  show(root);
  auto sheet = AlertController::make("T", "", AlertControllerStyle::ActionSheet);
  sheet->addAction(AlertAction::make("Delete", AlertActionStyle::Destructive));
  EXPECT_THROW(root->presentViewController(sheet, false), ns::Exception);
  sheet->popoverPresentationController()->setSourceView(root->view());
  sheet->popoverPresentationController()->setSourceRect(Rect(0, 0, 10, 10));
  EXPECT_NO_THROW(root->presentViewController(sheet, false));
}

class RefusingFieldDelegate : public TextFieldDelegate {
 public:
  Strings log;
  bool shouldChangeCharacters(TextField&, ns::Range range, const std::string& text) override {
    log.push_back(std::to_string(range.location) + "+" + std::to_string(range.length) + " '" + text + "'");
    return text != "!";
  }
  bool textFieldShouldReturn(TextField& field) override {
    log.push_back("return");
    field.resignFirstResponder();
    return false;
  }
};

TEST_F(AlertTest, TextFieldTypingAndTheKeyboardNotifications) {
  auto field = std::make_shared<TextField>(Rect(10, 100, 200, 30));
  field->setPlaceholder("Title");
  EXPECT_FALSE(field->becomeFirstResponder());  // not in a window yet
  auto delegate = std::make_shared<RefusingFieldDelegate>();
  field->setDelegate(delegate);
  root->view()->addSubview(field);

  Strings posted;
  Rect shownFrame;
  std::vector<ns::NotificationCenter::TokenPtr> tokens;
  for (const char* name : {kKeyboardWillShowNotification, kKeyboardDidShowNotification,
                           kKeyboardWillHideNotification, kKeyboardDidHideNotification}) {
    tokens.push_back(ns::NotificationCenter::defaultCenter().addObserver(
        name, nullptr, nullptr, [&](const ns::Notification& n) {
          posted.push_back(n.name());
          if (n.name() == kKeyboardWillShowNotification)
            shownFrame = rectValue(n.userInfo().find(kKeyboardFrameEndUserInfoKey));
        }));
  }
  ASSERT_TRUE(Input::tap("Title"));
  EXPECT_TRUE(field->isFirstResponder());
  EXPECT_EQ(posted, (Strings{kKeyboardWillShowNotification, kKeyboardDidShowNotification}));
  EXPECT_EQ(shownFrame, Rect(0, 844 - 291, 390, 291));

  Input::type("Hi");
  Input::type("!");   // refused by the delegate
  Input::type("😀");  // two UTF-16 units
  Input::deleteBackward();
  EXPECT_EQ(field->text(), "Hi");
  EXPECT_EQ(delegate->log, (Strings{"0+0 'Hi'", "2+0 '!'", "2+0 '😀'", "2+2 ''"}));

  Input::pressReturn();
  EXPECT_FALSE(field->isFirstResponder());
  EXPECT_EQ(posted, (Strings{kKeyboardWillShowNotification, kKeyboardDidShowNotification,
                             kKeyboardWillHideNotification, kKeyboardDidHideNotification}));
  EXPECT_FALSE(Input::type("more"));  // nothing has the keyboard
  for (auto& t : tokens) ns::NotificationCenter::defaultCenter().removeObserver(t);
}

}  // namespace
}  // namespace ui
