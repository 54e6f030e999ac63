#include "Notes/SettingsSortOrderViewController.h"

#include "Notes/NTLocalized.h"
#include "Notes/NTSettings.h"
#include "Notes/SettingsGeneralViewController.h"
#include "Notes/SettingsTableRows.h"
#include "Platform/UIKit/TableView.h"

SettingsSortOrderViewController::SettingsSortOrderViewController()
    : ui::TableViewController(ui::TableViewStyle::Grouped) {}

void SettingsSortOrderViewController::viewDidLoad() {
  ui::TableViewController::viewDidLoad();
  std::vector<std::shared_ptr<ui::TableViewCell>> rows;
  for (int64_t order = 0; order < 3; ++order)
    rows.push_back(SettingsTableRows::row({SettingsTableRows::label(SettingsGeneralViewController::sortOrderTitle(order))}));
  setStaticSections({{"", "", rows}});
  setTitle(NTLocalized("Notes Sort Order"));
  int64_t stored = NTSettings::userDefaults()->integerForKey(NTSettings::kNotesSortOrderKey);
  sortOrder_ = uint64_t(std::max<int64_t>(0, stored));
}

std::string SettingsSortOrderViewController::titleForFooter(ui::TableView&, int section) {
  if (section != 0) return {};
  return NTLocalized(
      "With \"Manual\" sort order you can manually reorder notes by taping the \"Edit\" button at the top of the "
      "notes list.");
}

void SettingsSortOrderViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell,
                                                      const ui::IndexPath& path) {
  bool chosen = path.row >= 0 && uint64_t(path.row) == sortOrder_;
  cell.setAccessoryType(chosen ? ui::TableViewCellAccessoryType::Checkmark : ui::TableViewCellAccessoryType::None);
}

void SettingsSortOrderViewController::didSelectRow(ui::TableView& table, const ui::IndexPath& path) {
  auto defaults = NTSettings::userDefaults();
  if (defaults->integerForKey(NTSettings::kNotesSortOrderKey) != path.row)
    defaults->setInteger(path.row, NTSettings::kNotesSortOrderKey);
  defaults->synchronize();
  sortOrder_ = uint64_t(path.row);
  for (const auto& cell : table.visibleCells()) cell->setAccessoryType(ui::TableViewCellAccessoryType::None);
  if (auto cell = table.cellForRow(path)) cell->setAccessoryType(ui::TableViewCellAccessoryType::Checkmark);
  table.deselectRow(path, true);
}
