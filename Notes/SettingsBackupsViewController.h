// The backup list under the settings screen: one row per backup file,
// newest first as the backups manager lists them, with its kind, size and
// age. Rows are deleted by swiping or in edit mode; a tapped row is read
// (with the HUD's progress) and its details are shown ("showBackup").
//
// "Backup now" makes a manual backup: the button spins whole turns of 1.5 s
// and the progress bar follows the writer while the screen takes no
// touches; once the backup has ended the current turn completes, the
// screen comes back and the new backup's row slides in at the top, or the
// error is shown. Main thread only; the engine's calls are moved there.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Notes/NTBackup.h"
#include "Notes/NTBackupsManager.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ProgressViews.h"
#include "Platform/UIKit/TableViewController.h"

class SettingsBackupsViewController : public ui::TableViewController {
 public:
  static constexpr const char* kShowBackupSegue = "showBackup";
  static constexpr double kTurnDuration = 1.5;

  std::string typeName() const override { return "SettingsBackupsViewController"; }

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void setEditing(bool editing, bool animated) override;
  void prepareForSegue(ui::StoryboardSegue& segue, void* sender) override;

  // Starts a manual backup.
  void addBackupClicked();
  bool isRotating() const { return rotating_; }

  const std::vector<NTBackup>& backups() const { return backups_; }
  const std::optional<NTBackup>& selectedBackup() const { return selectedBackup_; }
  ui::Button& backupNowButton() { return *backupNowButton_; }
  ui::Label& backupNowLabel() { return *backupNowLabel_; }
  ui::ProgressView& progressView() { return *progressView_; }
  ui::Label& progressLabel() { return *progressLabel_; }

  // Table.
  int numberOfRows(ui::TableView&, int section) override;
  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, const ui::IndexPath& path) override;
  std::string titleForHeader(ui::TableView&, int section) override;
  bool canEditRow(ui::TableView&, const ui::IndexPath&) override { return true; }
  void commitEditingStyle(ui::TableView& table, ui::TableViewCellEditingStyle style, const ui::IndexPath& path) override;
  void didSelectRow(ui::TableView& table, const ui::IndexPath& path) override;

 private:
  void loadBackups();
  void startRotate();
  void rotate();
  void stopRotateWithCompletionBlock(std::function<void()> block);
  void animationDidStop();
  void setInputsEnabled(bool enabled);
  void backupEnded(std::optional<NTBackup> backup, std::optional<ns::Error> error);
  std::weak_ptr<SettingsBackupsViewController> weakSelf();

  std::vector<NTBackup> backups_;
  std::optional<NTBackup> selectedBackup_;
  std::optional<NTBackupsManager::Folders> selectedFolders_;
  std::shared_ptr<ui::Button> backupNowButton_;
  std::shared_ptr<ui::Label> backupNowLabel_, progressLabel_;
  std::shared_ptr<ui::ProgressView> progressView_;
  bool rotating_ = false;
  std::function<void()> afterRotation_;
};
