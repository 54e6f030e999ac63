#include <gtest/gtest.h>

#include "Platform/UIKit/TableViewHeaderFooterView.h"

#include "Platform/Foundation/Error.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/TableViewController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

using Sections = std::vector<std::vector<std::string>>;
using Strings = std::vector<std::string>;

// A list of names per section; the test changes `data` and tells the table.
class NamesController : public TableViewController {
 public:
  Sections data;
  Strings headers;
  Strings log;
  bool editable = true;

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
  std::string titleForHeader(TableView&, int section) override {
    return size_t(section) < headers.size() ? headers[size_t(section)] : std::string();
  }
  bool canEditRow(TableView&, const IndexPath&) override { return editable; }
  bool canMoveRow(TableView&, const IndexPath&) override { return true; }
  void commitEditingStyle(TableView& table, TableViewCellEditingStyle, const IndexPath& path) override {
    log.push_back("commit delete " + path.description());
    auto& rows = data[size_t(path.section)];
    rows.erase(rows.begin() + path.row);
    table.deleteRows({path});
  }
  void moveRow(TableView&, const IndexPath& from, const IndexPath& to) override {
    std::string name = data[size_t(from.section)][size_t(from.row)];
    auto& src = data[size_t(from.section)];
    src.erase(src.begin() + from.row);
    auto& dst = data[size_t(to.section)];
    dst.insert(dst.begin() + to.row, name);
  }
  std::optional<IndexPath> willSelectRow(TableView&, const IndexPath& path) override {
    log.push_back("will select " + path.description());
    return path;
  }
  void didSelectRow(TableView&, const IndexPath& path) override {
    log.push_back("did select " + path.description());
  }
  IndexPath targetIndexPathForMove(TableView&, const IndexPath&, const IndexPath& proposed) override {
    return proposed.section == 0 ? IndexPath{1, 0} : proposed;
  }
};

class TableViewTest : public testing::InterfaceTest {
 protected:
  std::shared_ptr<NamesController> controller = std::make_shared<NamesController>();
  TableView& table() { return controller->tableView(); }

  // What the table shows, row by row.
  Sections shown() {
    Sections out;
    for (int s = 0; s < table().numberOfSections(); ++s) {
      out.emplace_back();
      for (int r = 0; r < table().numberOfRows(s); ++r) {
        auto cell = table().cellForRow({s, r});
        out.back().push_back(cell ? cell->textLabel().text() : "?");
      }
    }
    return out;
  }
};

TEST_F(TableViewTest, BatchUpdatesKeepRowsAndSelectionConsistent) {
  controller->data = {{"a", "b", "c"}, {"x", "y"}};
  show(controller);
  table().selectRow(IndexPath{0, 2}, false, TableViewScrollPosition::None);  // "c"
  table().selectRow(IndexPath{1, 1}, false, TableViewScrollPosition::None);  // "y" (single selection)

  controller->data = {{"new", "a", "c"}, {"b", "x", "y"}, {"z"}};
  table().performBatchUpdates([&] {
    table().insertRows({{0, 0}});
    table().moveRow({0, 1}, {1, 0});
    table().insertSections({2});
  });
  EXPECT_EQ(shown(), (Sections{{"new", "a", "c"}, {"b", "x", "y"}, {"z"}}));
  // "y" is still the selected row, now one further down.
  EXPECT_EQ(table().indexPathsForSelectedRows(), (std::vector<IndexPath>{{1, 2}}));

  controller->data = {{"new", "c"}, {"b", "x", "y"}};
  table().beginUpdates();
  table().deleteRows({{0, 1}});
  table().deleteSections({2});
  table().reloadRows({{1, 0}});
  table().endUpdates();
  EXPECT_EQ(shown(), (Sections{{"new", "c"}, {"b", "x", "y"}}));
}

TEST_F(TableViewTest, InconsistentUpdatesThrowAndLeaveTheTableAlone) {
  struct Case {
    const char* name;
    Sections after;
    std::function<void(TableView&)> update;
    const char* reasonStart;
  } cases[] = {
      {"row inserted without data", {{"a", "b"}},
       [](TableView& t) { t.insertRows({{0, 0}}); }, "Invalid update: invalid number of rows in section 0."},
      {"row inserted past the end", {{"a", "b", "c"}},
       [](TableView& t) { t.insertRows({{0, 5}}); }, "attempt to insert row 5 into section 0, but there are only 3"},
      {"data grew without an insert", {{"a", "b", "c"}},
       [](TableView& t) { t.reloadRows({{0, 0}}); }, "Invalid update: invalid number of rows in section 0."},
      {"deleted row that never was", {{"a"}},
       [](TableView& t) { t.deleteRows({{0, 5}}); }, "attempt to delete row 5 from section 0"},
      {"section inserted without data", {{"a", "b"}},
       [](TableView& t) { t.insertSections({1}); }, "attempt to insert section 1"},
      {"sections removed without a delete", {},
       [](TableView& t) { t.reloadData(); t.beginUpdates(); t.endUpdates(); }, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    controller = std::make_shared<NamesController>();
    controller->data = {{"a", "b"}};
    show(controller);
    controller->data = c.after;
    if (!c.reasonStart) {
      // Consistent after a reload: no exception.
      EXPECT_NO_THROW(c.update(table()));
      continue;
    }
    try {
      c.update(table());
      ADD_FAILURE() << "no exception";
    } catch (const ns::Exception& e) {
      EXPECT_EQ(e.name(), "NSInternalInconsistencyException");
      EXPECT_EQ(e.reason().rfind(c.reasonStart, 0), 0u) << e.reason();
    }
    EXPECT_EQ(table().numberOfRows(0), 2);  // the table's own count is unchanged
    Application::shared().reset();
  }
}

TEST_F(TableViewTest, DequeueingAnUnregisteredIdentifierThrows) {
  show(controller);
  EXPECT_EQ(table().dequeueReusableCell("Other"), nullptr);
  EXPECT_THROW(table().dequeueReusableCell("Other", IndexPath{0, 0}), ns::Exception);
}

TEST_F(TableViewTest, TappingSwipingAndMovingRowsThroughTheInputLayer) {
  controller->data = {{"All"}, {"Work", "Home"}};
  controller->headers = {"", "Folders"};
  show(controller);
  EXPECT_TRUE(Input::tap("Home"));
  EXPECT_EQ(controller->log, (Strings{"will select [1, 1]", "did select [1, 1]"}));
  EXPECT_EQ(table().indexPathForSelectedRow(), (IndexPath{1, 1}));

  controller->log.clear();
  EXPECT_EQ(table().rowActionTitles({1, 0}), Strings{"Delete"});
  EXPECT_TRUE(Input::swipeRow("Work", "Delete"));
  EXPECT_EQ(controller->log, Strings{"commit delete [1, 0]"});
  EXPECT_EQ(shown(), (Sections{{"All"}, {"Home"}}));
  EXPECT_FALSE(Input::swipeRow("Home", "Archive"));

  // A drop above the first section is redirected by the delegate.
  controller->data = {{"All"}, {"Work", "Home"}};
  table().reloadData();
  EXPECT_FALSE(table().userMoveRow({1, 1}, {0, 0}));  // not editing
  controller->setEditing(true, false);
  EXPECT_TRUE(table().userMoveRow({1, 1}, {0, 0}));
  EXPECT_EQ(controller->data, (Sections{{"All"}, {"Home", "Work"}}));
  EXPECT_EQ(shown(), controller->data);

  controller->editable = false;
  EXPECT_FALSE(Input::swipeRow("Home", "Delete"));
}

TEST_F(TableViewTest, StaticTableAndRowActions) {
  auto settings = std::make_shared<TableViewController>(TableViewStyle::Grouped);
  auto passcode = std::make_shared<TableViewCell>(TableViewCellStyle::Value1);
  passcode->textLabel().setText("Passcode");
  passcode->detailTextLabel()->setText("Off");
  passcode->setAccessoryType(TableViewCellAccessoryType::DisclosureIndicator);
  auto about = std::make_shared<TableViewCell>();
  about->textLabel().setText("About");
  settings->setStaticSections({{"Security", "", {passcode}}, {"", "Version 1.0", {about}}});
  show(settings);
  EXPECT_EQ(settings->tableView().numberOfSections(), 2);
  EXPECT_EQ(settings->tableView().cellForRow({0, 0}), passcode);
  EXPECT_TRUE(settings->tableView().rowActionTitles({0, 0}).empty());
  std::string screen = ScreenText::render();
  EXPECT_NE(screen.find("\"Passcode\" \"Off\" >"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Footer \"Version 1.0\""), std::string::npos) << screen;
}

// A footer's title wraps over as many lines as it needs: its view grows
// with it, and the rows after it move down.
TEST_F(TableViewTest, ALongFooterWrapsAndPushesTheNextSectionDown) {
  auto settings = std::make_shared<TableViewController>(TableViewStyle::Grouped);
  auto first = std::make_shared<TableViewCell>();
  first->textLabel().setText("Use iCloud");
  auto next = std::make_shared<TableViewCell>();
  next->textLabel().setText("Passcode Lock");
  std::string longFooter = "Use iCloud both to store backups and to sync notes between your devices";
  settings->setStaticSections({{"Sync", longFooter, {first}}, {"Privacy", "Short", {next}}});
  show(settings);
  TableView& table = settings->tableView();
  table.layoutIfNeeded();
  Rect rows[] = {table.rectForRow({0, 0}), table.rectForRow({1, 0})};
  // Two lines of 13-point text, with room around them, against the usual 38.
  double between = rows[1].minY() - rows[0].maxY();
  EXPECT_GT(between, 38 + 38 + 10);
  std::shared_ptr<TableViewHeaderFooterView> footer;
  for (const auto& v : table.subviews()) {
    auto hf = std::dynamic_pointer_cast<TableViewHeaderFooterView>(v);
    if (hf && hf->textLabel().text() == longFooter) footer = hf;
  }
  ASSERT_TRUE(footer);
  EXPECT_EQ(footer->textLabel().numberOfLines(), 0);
  EXPECT_GT(footer->frame().height(), 38);
}

class ActionsDelegateController : public NamesController {
 public:
  std::shared_ptr<SwipeActionsConfiguration> trailingSwipeActions(TableView&, const IndexPath& path) override {
    auto config = std::make_shared<SwipeActionsConfiguration>();
    config->actions.push_back(ContextualAction::make(
        ContextualActionStyle::Normal, "Move", [this, path](ContextualAction&, View&, ContextualAction::Completion done) {
          log.push_back("move " + path.description());
          done(true);
        }));
    return config;
  }
};

TEST_F(TableViewTest, SwipeConfigurationsComeBeforeTheDefaultDelete) {
  auto c = std::make_shared<ActionsDelegateController>();
  c->data = {{"Note"}};
  show(c);
  EXPECT_EQ(c->tableView().rowActionTitles({0, 0}), Strings{"Move"});
  EXPECT_FALSE(Input::swipeRow("Note", "Delete"));
  EXPECT_TRUE(Input::swipeRow("Note", "Move"));
  EXPECT_EQ(c->log, Strings{"move [0, 0]"});
}

}  // namespace
}  // namespace ui
