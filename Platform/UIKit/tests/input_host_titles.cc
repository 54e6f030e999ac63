// Rows whose title keeps its line break are found by the line a person reads.
#include <gtest/gtest.h>

#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/TableViewController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

class TitlesController : public TableViewController {
 public:
  std::vector<std::string> titles{"Shopping\n", "Shopping list", "Plain"};
  std::vector<std::string> selected;
  void viewDidLoad() override {
    tableView().registerCell("Cell", [] { return std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Cell"); });
  }
  int numberOfRows(TableView&, int) override { return int(titles.size()); }
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, const IndexPath& path) override {
    auto cell = table.dequeueReusableCell("Cell", path);
    cell->textLabel().setText(titles[size_t(path.row)]);
    return cell;
  }
  void didSelectRow(TableView&, const IndexPath& path) override { selected.push_back(titles[size_t(path.row)]); }
};

class InputHostTitlesTest : public testing::InterfaceTest {};

TEST_F(InputHostTitlesTest, ATitleEndingInALineBreakIsFoundByItsLine) {
  auto list = std::make_shared<TitlesController>();
  show(list);
  struct Case {
    std::string text;
    bool found;
    std::string row;
  };
  const Case cases[] = {
      {"Shopping", true, "Shopping\n"},
      {"Shopping\n", true, "Shopping\n"},
      {"Shopping list", true, "Shopping list"},
      {"Plain", true, "Plain"},
      {"Shop", false, ""},
      // What nothing shows exactly is matched with white space around the
      // texts ignored.
      {"Plain\n", true, "Plain"},
      {"  Shopping list ", true, "Shopping list"},
      {"Shopping list\nmore", false, ""},
  };
  for (const auto& c : cases) {
    list->selected.clear();
    EXPECT_EQ(Input::tap(c.text), c.found) << c.text << ": " << Input::lastFailure();
    EXPECT_EQ(list->selected, c.found ? std::vector<std::string>{c.row} : std::vector<std::string>{}) << c.text;
  }
}

}  // namespace
}  // namespace ui
