#include "Notes/SettingsBackupsViewController.h"

#include "Notes/NTBackupsManager.h"
#include "Notes/NTLocalized.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/TableView.h"

namespace {

constexpr const char* kCellIdentifier = "BackupCell";

}  // namespace

void SettingsBackupsViewController::viewDidLoad() {
  ui::TableViewController::viewDidLoad();
  setTitle(NTLocalized("Backups"));
  backups_ = NTBackupsManager::localBackups();
  tableView().registerCell(kCellIdentifier, [] {
    return std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, kCellIdentifier);
  });
}

int SettingsBackupsViewController::numberOfRows(ui::TableView&, int section) {
  return section == 0 ? int(backups_.size()) : 0;
}

std::shared_ptr<ui::TableViewCell> SettingsBackupsViewController::cellForRow(ui::TableView& table,
                                                                           const ui::IndexPath& path) {
  auto cell = table.dequeueReusableCell(kCellIdentifier, path);
  cell->textLabel().setText(backups_[size_t(path.row)].URL().lastPathComponent());
  return cell;
}
