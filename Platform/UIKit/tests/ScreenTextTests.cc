#include <gtest/gtest.h>

#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/TableViewController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

class FoldersFixture : public TableViewController {
 public:
  std::vector<std::string> folders{"Notes", "Work"};
  std::vector<std::string> pushed;

  void viewDidLoad() override {
    setTitle("Folders");
    navigationItem().setRightBarButtonItems(
        {BarButtonItem::withSystemItem(BarButtonSystemItem::Add, [this](BarButtonItem&) { pushed.push_back("add"); }),
         editButtonItem()});
  }
  int numberOfSections(TableView&) override { return 2; }
  int numberOfRows(TableView&, int section) override { return section == 0 ? 1 : int(folders.size()); }
  std::shared_ptr<TableViewCell> cellForRow(TableView&, const IndexPath& path) override {
    auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Value1, "Cell");
    cell->textLabel().setText(path.section == 0 ? "All Notes" : folders[size_t(path.row)]);
    cell->detailTextLabel()->setText(path.section == 0 ? "3" : "1");
    cell->setAccessoryType(TableViewCellAccessoryType::DisclosureIndicator);
    return cell;
  }
  std::string titleForHeader(TableView&, int section) override { return section == 1 ? "My Folders" : ""; }
  void didSelectRow(TableView& table, const IndexPath& path) override {
    auto notes = std::make_shared<ViewController>();
    notes->setTitle(table.cellForRow(path)->textLabel().text());
    auto label = std::make_shared<Label>(Rect(20, 100, 200, 30));
    label->setText("No Notes");
    notes->view()->addSubview(label);
    auto hidden = std::make_shared<Label>(Rect(20, 140, 200, 30));
    hidden->setText("Invisible");
    hidden->setHidden(true);
    notes->view()->addSubview(hidden);
    navigationController()->pushViewController(notes, true);
  }
};

using ScreenTextTest = testing::InterfaceTest;

TEST_F(ScreenTextTest, NavigationAndTableFixture) {
  auto folders = std::make_shared<FoldersFixture>();
  auto nav = std::make_shared<NavigationController>(folders);
  show(nav);
  EXPECT_EQ(ScreenText::render(),
            "Window (key)\n"
            "  NavigationBar: \"Folders\" [Edit] [Add]\n"
            "  Table\n"
            "    Section 0\n"
            "      \"All Notes\" \"3\" >\n"
            "    Section 1 \"My Folders\"\n"
            "      \"Notes\" \"1\" >\n"
            "      \"Work\" \"1\" >\n");

  ASSERT_TRUE(Input::tap("Edit"));
  EXPECT_NE(ScreenText::render().find("NavigationBar: \"Folders\" [Done] [Add]\n  Table (editing)\n"),
            std::string::npos)
      << ScreenText::render();
  ASSERT_TRUE(Input::tap("Done"));
  ASSERT_TRUE(Input::tap("Add"));
  EXPECT_EQ(folders->pushed, std::vector<std::string>{"add"});

  ASSERT_TRUE(Input::tap("Work"));
  EXPECT_EQ(ScreenText::render(),
            "Window (key)\n"
            "  NavigationBar: [< Folders] \"Work\"\n"
            "  \"No Notes\"\n");
  ASSERT_TRUE(Input::goBack());
  EXPECT_EQ(nav->topViewController(), folders);
  EXPECT_FALSE(Input::tap("Nothing Like This"));
  EXPECT_FALSE(Input::lastFailure().empty());
}

TEST_F(ScreenTextTest, PresentedControllersPrintOnTopAndCoverWhatIsBelow) {
  auto root = std::make_shared<ViewController>();
  auto label = std::make_shared<Label>(Rect(0, 100, 100, 20));
  label->setText("Below");
  root->view()->addSubview(label);
  show(root);

  auto sheet = std::make_shared<ViewController>();
  sheet->setModalPresentationStyle(ModalPresentationStyle::OverFullScreen);
  auto button = Button::withType(ButtonType::System);
  button->setTitle("Close");
  button->setFrame(Rect(0, 0, 80, 30));
  int closes = 0;
  button->addTarget(nullptr, [&](Control&) { ++closes; }, kControlEventTouchUpInside);
  sheet->view()->addSubview(button);
  root->presentViewController(sheet, false);
  EXPECT_EQ(ScreenText::render(),
            "Window (key)\n"
            "  \"Below\"\n"
            "  Presented ViewController:\n"
            "    [Close]\n");
  ASSERT_TRUE(Input::tap("Close"));
  EXPECT_EQ(closes, 1);
  button->setEnabled(false);
  EXPECT_FALSE(Input::tap("Close"));

  root->dismissViewController(false);
  auto cover = std::make_shared<ViewController>();
  cover->setModalPresentationStyle(ModalPresentationStyle::FullScreen);
  root->presentViewController(cover, false);
  // A full-screen controller hides what lies below, from the screen and from taps.
  EXPECT_EQ(ScreenText::render(), "Window (key)\n  Presented ViewController:\n");
  EXPECT_FALSE(Input::tap("Below"));
}

}  // namespace
}  // namespace ui
