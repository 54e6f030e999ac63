// The notes of a backup, grouped by folder, each with a checkmark; every
// note starts checked. "Restore" (titled with the checked count, or
// "Select Notes" when none is) brings the checked notes into the live
// store (BackupRestore.h), then closes the whole backup flow and reports
// how many came back. A tapped row shows the note read-only ("showNote").
//
// A restore the store refuses changes nothing: the screen stays and the
// error alert says so. Main thread only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Notes/NTBackupsManager.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/TableViewController.h"

class SettingsBackupPreviewViewController : public ui::TableViewController {
 public:
  static constexpr const char* kSceneIdentifier = "SettingsBackupPreviewViewController";
  static constexpr const char* kNavigationSceneIdentifier = "SettingsBackupPreviewNavigationController";
  static constexpr const char* kNotePreviewSegue = "showNote";
  // The time the HUD gets to appear before the restore takes the main queue.
  static constexpr double kRestoreDelay = 0.5;

  std::string typeName() const override { return "SettingsBackupPreviewViewController"; }

  void setFolders(NTBackupsManager::Folders folders) { folders_ = std::move(folders); }
  const std::vector<std::string>& foldersName() const { return foldersName_; }
  size_t totalNotes() const { return totalNotes_; }
  const std::map<ui::IndexPath, bool>& selectedIndexPaths() const { return selectedIndexPaths_; }
  ui::BarButtonItem& restoreButton() { return *restoreButton_; }

  // Today: the time alone; another day: the date alone (relative words for
  // yesterday and today).
  static std::string stringFromDate(ns::Date date);

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void prepareForSegue(ui::StoryboardSegue& segue, void* sender) override;

  void done();
  void restore();
  // Unchecks every note when any is checked, else checks them all.
  void selectAll();
  void updateView();

  // Table.
  int numberOfSections(ui::TableView&) override { return int(foldersName_.size()); }
  int numberOfRows(ui::TableView&, int section) override;
  std::string titleForHeader(ui::TableView&, int section) override;
  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, const ui::IndexPath& path) override;
  bool canEditRow(ui::TableView&, const ui::IndexPath&) override { return false; }
  void didSelectRow(ui::TableView& table, const ui::IndexPath& path) override;

 private:
  const NTBackupsManager::NoteEntry* note(const ui::IndexPath& path) const;
  void restoreNow();

  NTBackupsManager::Folders folders_;
  std::vector<std::string> foldersName_;
  size_t totalNotes_ = 0;
  std::map<ui::IndexPath, bool> selectedIndexPaths_;
  std::shared_ptr<ui::BarButtonItem> restoreButton_, selectAllButton_;
  std::optional<ui::IndexPath> previewedPath_;
};
