// Dragging a row to reorder it, as a person at the host program does.
#include <gtest/gtest.h>

#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/TableViewController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

using Sections = std::vector<std::vector<std::string>>;

// Names per section; the first section's rows stay where they are, and
// drops into it land at the top of the second.
class ReorderController : public TableViewController {
 public:
  Sections data;
  int moves = 0;

  void viewDidLoad() override {
    tableView().registerCell("Cell", [] {
      return std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Cell");
    });
  }
  int numberOfSections(TableView&) override { return int(data.size()); }
  int numberOfRows(TableView&, int section) override { return int(data[size_t(section)].size()); }
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, const IndexPath& path) override {
    auto cell = table.dequeueReusableCell("Cell", path);
    cell->textLabel().setText(data[size_t(path.section)][size_t(path.row)]);
    return cell;
  }
  bool canEditRow(TableView&, const IndexPath&) override { return true; }
  bool canMoveRow(TableView&, const IndexPath& path) override { return path.section > 0; }
  void moveRow(TableView&, const IndexPath& from, const IndexPath& to) override {
    ++moves;
    std::string name = data[size_t(from.section)][size_t(from.row)];
    auto& src = data[size_t(from.section)];
    src.erase(src.begin() + from.row);
    auto& dst = data[size_t(to.section)];
    dst.insert(dst.begin() + to.row, name);
  }
  IndexPath targetIndexPathForMove(TableView&, const IndexPath&, const IndexPath& proposed) override {
    return proposed.section == 0 ? IndexPath{1, 0} : proposed;
  }
};

class InputDragRowTest : public testing::InterfaceTest {
 protected:
  std::shared_ptr<ReorderController> controller = std::make_shared<ReorderController>();

  Sections shown() {
    Sections out;
    auto& table = controller->tableView();
    for (int s = 0; s < table.numberOfSections(); ++s) {
      out.emplace_back();
      for (int r = 0; r < table.numberOfRows(s); ++r) {
        auto cell = table.cellForRow({s, r});
        out.back().push_back(cell ? cell->textLabel().text() : "?");
      }
    }
    return out;
  }
};

TEST_F(InputDragRowTest, MovesTheRowToTheTargetsPlace) {
  struct Case {
    std::string row, target;
    Sections after;
  };
  const Case cases[] = {
      {"a", "c", {{"All"}, {"b", "c", "a", "d"}}},  // down: lands where "c" was
      {"d", "b", {{"All"}, {"a", "d", "b", "c"}}},  // up: lands where "b" was
      {"c", "All", {{"All"}, {"c", "a", "b", "d"}}},  // redirected by the delegate
      {"b", "b", {{"All"}, {"a", "b", "c", "d"}}},  // onto itself: stays
  };
  show(controller);
  controller->setEditing(true, false);
  for (const auto& c : cases) {
    controller->data = {{"All"}, {"a", "b", "c", "d"}};
    controller->tableView().reloadData();
    EXPECT_TRUE(Input::dragRow(c.row, c.target)) << c.row << ": " << Input::lastFailure();
    EXPECT_EQ(controller->data, c.after) << c.row << " onto " << c.target;
    EXPECT_EQ(shown(), c.after) << c.row << " onto " << c.target;
  }
}

TEST_F(InputDragRowTest, RefusesWhatCannotMoveAndSaysWhy) {
  controller->data = {{"All"}, {"a", "b"}};
  show(controller);
  struct Case {
    bool editing;
    std::string row, target, why;
  };
  const Case cases[] = {
      {false, "a", "b", "not editing"},
      {true, "zz", "b", "no table row shows \"zz\""},
      {true, "a", "zz", "no table row shows \"zz\""},
      {true, "All", "b", "cannot move"},
  };
  for (const auto& c : cases) {
    controller->setEditing(c.editing, false);
    EXPECT_FALSE(Input::dragRow(c.row, c.target)) << c.row;
    EXPECT_NE(Input::lastFailure().find(c.why), std::string::npos) << Input::lastFailure();
  }
  EXPECT_EQ(controller->moves, 0);
  EXPECT_EQ(controller->data, (Sections{{"All"}, {"a", "b"}}));
}

}  // namespace
}  // namespace ui
