// The sort order picker: "By Date", "Alphabet" and "Manual", the chosen one
// checked. A choice is stored at once in the group defaults; the notes list
// takes the new order when it next fetches.
#pragma once

#include <cstdint>
#include <string>

#include "Platform/UIKit/TableViewController.h"

class SettingsSortOrderViewController : public ui::TableViewController {
 public:
  SettingsSortOrderViewController();
  std::string typeName() const override { return "SettingsSortOrderViewController"; }

  uint64_t sortOrder() const { return sortOrder_; }
  void setSortOrder(uint64_t order) { sortOrder_ = order; }

  void viewDidLoad() override;
  std::string titleForFooter(ui::TableView&, int section) override;
  void willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath& path) override;
  void didSelectRow(ui::TableView&, const ui::IndexPath& path) override;

 private:
  uint64_t sortOrder_ = 0;
};
