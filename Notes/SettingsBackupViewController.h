// One backup file: its size, date and what it holds ("7 notes in 3
// folders"), with three actions: send it by mail, hand it to another app
// ("Save in") and preview its notes for a restore ("previewBackup").
//
// foldersFromBackup reads a backup under the HUD's progress; presentBackup
// shows the screen, in a navigation controller with "Done", over whatever
// is on top: the way a backup file handed to the app from outside is
// opened. A file that cannot be read shows only the error alert. Main
// thread only; the reader's calls are moved there.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Notes/NTBackup.h"
#include "Notes/NTBackupsManager.h"
#include "Platform/UIKit/DocumentInteractionController.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/TableViewController.h"

class SettingsBackupViewController : public ui::TableViewController {
 public:
  static constexpr const char* kSceneIdentifier = "SettingsBackupViewController";
  static constexpr const char* kPreviewSegue = "previewBackup";
  // The attachment's type in the mail.
  static constexpr const char* kMimeType = "application/quillbox";
  enum Row : int { kEmailRow = 0, kSaveRow, kPreviewRow };

  // Reads the backup with the HUD ("Reading backup..."); the block gets the
  // folders, or null after the error alert when the file cannot be read.
  static void foldersFromBackup(const NTBackup& backup,
                                std::function<void(const NTBackupsManager::Folders*)> completionBlock);
  // Reads the backup and, when it could be read, presents this screen.
  static void presentBackup(const NTBackup& backup);

  SettingsBackupViewController();
  std::string typeName() const override { return "SettingsBackupViewController"; }

  const std::optional<NTBackup>& backup() const { return backup_; }
  void setBackup(NTBackup backup) { backup_ = std::move(backup); }
  const NTBackupsManager::Folders& folders() const { return folders_; }
  void setFolders(NTBackupsManager::Folders folders) { folders_ = std::move(folders); }

  void viewDidLoad() override;
  void prepareForSegue(ui::StoryboardSegue& segue, void* sender) override;

  void done();
  void emailClicked();
  void saveClicked(ui::View& sender);

  ui::Label& sizeLabel() { return *sizeLabel_; }
  ui::Label& dateLabel() { return *dateLabel_; }
  ui::Label& infoLabel() { return *infoLabel_; }
  const std::shared_ptr<ui::DocumentInteractionController>& docInteractionController() const {
    return docInteractionController_;
  }

  // Table: the three action rows.
  void didSelectRow(ui::TableView& table, const ui::IndexPath& path) override;

 private:
  std::optional<NTBackup> backup_;
  NTBackupsManager::Folders folders_;
  std::shared_ptr<ui::ImageView> backupIconImageView_;
  std::shared_ptr<ui::Label> sizeLabel_, dateLabel_, infoLabel_, emailLabel_, saveLabel_, restoreLabel_, subtitleLabel_;
  std::shared_ptr<ui::DocumentInteractionController> docInteractionController_;
};
