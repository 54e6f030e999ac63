// The backup list under the settings screen: one row per backup file,
// newest first, as the backups manager lists them.
//
// Seam: the rows show the files' names only; making, deleting and opening
// backups come with the backup screens' own work, which replaces the body.
#pragma once

#include <string>
#include <vector>

#include "Notes/NTBackup.h"
#include "Platform/UIKit/TableViewController.h"

class SettingsBackupsViewController : public ui::TableViewController {
 public:
  std::string typeName() const override { return "SettingsBackupsViewController"; }

  void viewDidLoad() override;
  int numberOfRows(ui::TableView&, int section) override;
  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, const ui::IndexPath& path) override;
  bool canEditRow(ui::TableView&, const ui::IndexPath&) override { return false; }

 private:
  std::vector<NTBackup> backups_;
};
