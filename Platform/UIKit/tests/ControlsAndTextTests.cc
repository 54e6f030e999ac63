#include <gtest/gtest.h>

#include "Platform/UIKit/DatePicker.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/Pasteboard.h"
#include "Platform/UIKit/ProgressViews.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/SearchController.h"
#include "Platform/UIKit/Switch.h"
#include "Platform/UIKit/TableViewController.h"
#include "Platform/UIKit/TextView.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

using Strings = std::vector<std::string>;
using ControlsTest = testing::InterfaceTest;

TEST_F(ControlsTest, TextViewTypingUndoAndTypingAttributes) {
  auto root = std::make_shared<ViewController>();
  show(root);
  auto textView = std::make_shared<TextView>(Rect(0, 100, 390, 300));
  root->view()->addSubview(textView);
  textView->setText("Hello");
  auto bold = Font::boldSystemFont(12);
  ns::TextAttributes typing = textView->typingAttributes();
  typing[ns::kFontAttributeName] = ns::AttributeValue(bold);
  textView->setTypingAttributes(typing);

  ASSERT_TRUE(Input::tapView(*textView));
  EXPECT_TRUE(textView->isEditing());
  Input::type(" world");
  EXPECT_EQ(textView->text(), "Hello world");
  EXPECT_EQ(textView->selectedRange(), (ns::Range{11, 0}));
  EXPECT_TRUE(textView->attributedText().attributeAtIndex(ns::kFontAttributeName, 7).as<Font>()->isBold());
  EXPECT_FALSE(textView->attributedText().attributeAtIndex(ns::kFontAttributeName, 1).as<Font>()->isBold());

  textView->setSelectedRange(ns::Range{0, 5});
  Input::type("Hi");
  EXPECT_EQ(textView->text(), "Hi world");
  Input::pressReturn();
  EXPECT_EQ(ScreenText::render(*textView),
            "TextView (editing)\n  \"Hi\"\n  \" world\"\n");

  UndoManager& undo = textView->undoManager();
  undo.undo();  // the return
  EXPECT_EQ(textView->text(), "Hi world");
  undo.undo();  // "Hi" over "Hello"
  EXPECT_EQ(textView->text(), "Hello world");
  undo.redo();
  EXPECT_EQ(textView->text(), "Hi world");
  undo.undo();
  undo.undo();
  EXPECT_EQ(textView->text(), "Hello");
  EXPECT_FALSE(undo.canUndo());
  EXPECT_TRUE(undo.canRedo());
  Input::type("!");  // a new change drops what could be redone
  EXPECT_FALSE(undo.canRedo());

  textView->selectAll();
  textView->cut();
  EXPECT_EQ(Pasteboard::general().string(), std::optional<std::string>("Hello!"));
  EXPECT_EQ(textView->text(), "");
  textView->paste();
  textView->paste();
  EXPECT_EQ(textView->text(), "Hello!Hello!");

  textView->setEditable(false);
  EXPECT_FALSE(textView->isFirstResponder());
  Input::type("x");
  EXPECT_EQ(textView->text(), "Hello!Hello!");
}

// A text longer than its view: while it is typed into, the view scrolls so
// that the caret stands above the bottom inset (the keyboard), and the
// screen prints the lines in sight with how many lie above and below; a
// tap on a line's text puts the caret at its end.
TEST_F(ControlsTest, ATextViewShowsTheLinesAroundTheCaret) {
  auto root = std::make_shared<ViewController>();
  show(root);
  auto textView = std::make_shared<TextView>(Rect(0, 100, 390, 300));
  textView->setFont(Font::systemFont(17));
  root->view()->addSubview(textView);
  std::string text;
  for (int i = 1; i <= 60; ++i) text += (i > 1 ? "\n" : "") + std::string("Item ") + std::to_string(i) + ".";
  textView->setText(text);
  root->view()->layoutIfNeeded();
  std::string shown = ScreenText::render(*textView);
  EXPECT_EQ(shown.rfind("TextView\n  \"Item 1.\"\n", 0), 0u) << shown;
  EXPECT_NE(shown.find(" lines below"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("Item 60."), std::string::npos) << shown;

  ASSERT_TRUE(Input::tap("Item 3."));
  EXPECT_EQ(textView->selectedRange(), (ns::Range{std::string("Item 1.\nItem 2.\nItem 3.").size(), 0}));
  textView->setBottomInsets(150);  // a keyboard over the bottom half
  textView->setSelectedRange(ns::Range{text.size(), 0});
  Input::type("!");
  root->view()->layoutIfNeeded();
  EXPECT_GT(textView->contentOffset().y, 0);
  shown = ScreenText::render(*textView);
  EXPECT_NE(shown.find("\"Item 60.!\""), std::string::npos) << shown;
  EXPECT_NE(shown.find(" lines above"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("lines below"), std::string::npos) << shown;
  // The last line shows above the inset, the first lines not at all.
  EXPECT_EQ(shown.find("\"Item 1.\""), std::string::npos) << shown;
  int printed = 0;
  for (size_t at = 0; (at = shown.find("\n  \"Item", at)) != std::string::npos; ++at) ++printed;
  EXPECT_GE(printed, 4);
  EXPECT_LE(printed, 8) << "only what lies above the keyboard: " << shown;
}

class SettingsFixture : public TableViewController {
 public:
  std::shared_ptr<Switch> lock = std::make_shared<Switch>();
  Strings log;
  void viewDidLoad() override {
    auto cell = std::make_shared<TableViewCell>();
    cell->textLabel().setText("Require Passcode");
    cell->setAccessoryView(lock);
    cell->setSelectionStyle(TableViewCellSelectionStyle::None);
    lock->addTarget(this, [this](Control& c) { log.push_back(static_cast<Switch&>(c).isOn() ? "on" : "off"); },
                    kControlEventValueChanged);
    setStaticSections({{"", "", {cell}}});
  }
};

TEST_F(ControlsTest, SwitchesInRowsAndValueControls) {
  auto settings = std::make_shared<SettingsFixture>();
  show(settings);
  ASSERT_TRUE(Input::toggle("Require Passcode")) << Input::lastFailure();
  EXPECT_EQ(settings->log, Strings{"on"});
  EXPECT_NE(ScreenText::render().find("\"Require Passcode\" Switch[on]"), std::string::npos) << ScreenText::render();
  settings->lock->setEnabled(false);
  EXPECT_FALSE(Input::toggle("Require Passcode"));

  DatePicker picker;
  picker.setMinimumDate(ns::Clock::now());
  picker.setDate(ns::Clock::now().addingTimeInterval(-60));
  EXPECT_EQ(picker.date(), ns::Clock::now());  // clamped to the minimum
  ProgressView progress;
  progress.setProgress(1.5f);
  EXPECT_EQ(progress.progress(), 1.0f);
  ActivityIndicatorView spinner;
  EXPECT_TRUE(spinner.isHidden());
  spinner.startAnimating();
  EXPECT_FALSE(spinner.isHidden());
  spinner.stopAnimating();
  EXPECT_TRUE(spinner.isHidden());
}

class ResultsFixture : public ViewController, public SearchResultsUpdating {
 public:
  Strings queries;
  void updateSearchResults(SearchController& search) override { queries.push_back(search.searchBar().text()); }
};

TEST_F(ControlsTest, SearchControllerUpdatesItsResultsAsTheTextChanges) {
  auto list = std::make_shared<TableViewController>();
  auto results = std::make_shared<ResultsFixture>();
  auto search = SearchController::make(results);
  search->setSearchResultsUpdater(results);
  search->setPresentingContext(list);
  list->setDefinesPresentationContext(true);
  show(list);
  list->tableView().setTableHeaderView(search->searchBarShared());

  ASSERT_TRUE(Input::tap("Search")) << Input::lastFailure();
  EXPECT_TRUE(search->isActive());
  EXPECT_EQ(list->presentedViewController(), search);
  Input::type("ab");
  Input::deleteBackward();
  EXPECT_EQ(results->queries, (Strings{"", "ab", "a"}));
  ASSERT_TRUE(Input::tap("Cancel")) << Input::lastFailure();
  EXPECT_FALSE(search->isActive());
  EXPECT_EQ(search->searchBar().text(), "");
  EXPECT_EQ(list->presentedViewController(), nullptr);
}

}  // namespace
}  // namespace ui
