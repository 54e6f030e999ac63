// What a person at the host program reads: views that print themselves are
// printed once.
#include <gtest/gtest.h>

#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/SearchBar.h"
#include "Platform/UIKit/TableViewController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

class InputHostScreenTextTest : public testing::InterfaceTest {};

TEST_F(InputHostScreenTextTest, SearchBarInATableHeaderShowsItsCancelButtonOnce) {
  auto list = std::make_shared<TableViewController>();
  show(list);
  auto bar = std::make_shared<SearchBar>();
  bar->setPlaceholder("Search");
  bar->setFrame({0, 0, 390, 56});
  list->tableView().setTableHeaderView(bar);
  bar->setShowsCancelButton(true);
  std::string screen = ScreenText::render();
  EXPECT_NE(screen.find("SearchBar [Search] \"\" [Cancel]\n"), std::string::npos) << screen;
  // The button is still there to be tapped.
  EXPECT_TRUE(Input::tap("Cancel")) << Input::lastFailure();
}

}  // namespace
}  // namespace ui
