#include "Notes/SettingsBackupViewController.h"

#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Libraries/UIComponents/QBProgressHUD.h"
#include "Notes/BackupTexts.h"
#include "Notes/MainStoryboard.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTLocalized.h"
#include "Notes/SettingsBackupPreviewViewController.h"
#include "Notes/SettingsTableRows.h"
#include "Platform/Dispatch/MainThread.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Format.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/Storyboard.h"
#include "Platform/UIKit/StoryboardSegue.h"
#include "Platform/UIKit/TableView.h"

namespace {

using SettingsTableRows::label;
using SettingsTableRows::row;

}  // namespace

void SettingsBackupViewController::foldersFromBackup(
    const NTBackup& backup, std::function<void(const NTBackupsManager::Folders*)> completionBlock) {
  const std::string status = NTLocalized("Reading backup...");
  QBProgressHUD::showProgress(0, status);
  auto completion = std::make_shared<std::function<void(const NTBackupsManager::Folders*)>>(std::move(completionBlock));
  NTBackupsManager::openBackup(backup, [status, completion](float progress, const NTBackupsManager::Folders* folders,
                                                            const ns::Error* error) {
    auto onMain = [&] {
      QBProgressHUD::showProgress(progress, status);
      if (!folders && !error) return;
      QBProgressHUD::dismiss();
      if (*completion) (*completion)(folders);
      TXKit::presentError(error);
    };
    if (dispatch::isMainThread())
      onMain();
    else
      dispatch::Queue::main()->sync(onMain);
  });
}

void SettingsBackupViewController::presentBackup(const NTBackup& backup) {
  foldersFromBackup(backup, [backup](const NTBackupsManager::Folders* folders) {
    if (!folders) return;
    auto board = ui::Storyboard::named(kMainStoryboardName);
    auto details = std::dynamic_pointer_cast<SettingsBackupViewController>(board->instantiateViewController(kSceneIdentifier));
    auto top = TXUIManager::topmostViewController();
    if (!details || !top) return;
    details->setBackup(backup);
    details->setFolders(*folders);
    auto navigation = std::make_shared<ui::NavigationController>(details);
    std::weak_ptr<SettingsBackupViewController> weak = details;
    details->navigationItem().setRightBarButtonItem(
        ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::Done, [weak](ui::BarButtonItem&) {
          if (auto me = weak.lock()) me->done();
        }));
    navigation->view()->setTintColor(NTAppearance::tintColor());
    top->presentViewController(navigation, true);
  });
}

SettingsBackupViewController::SettingsBackupViewController() : ui::TableViewController(ui::TableViewStyle::Grouped) {}

void SettingsBackupViewController::viewDidLoad() {
  ui::TableViewController::viewDidLoad();
  setTitle(NTLocalized("Full Backup"));
  backupIconImageView_ = std::make_shared<ui::ImageView>();
  backupIconImageView_->setImage(TXKit::applicationIcon());
  sizeLabel_ = label();
  dateLabel_ = label();
  infoLabel_ = label();
  subtitleLabel_ = label();
  subtitleLabel_->setNumberOfLines(0);
  emailLabel_ = label(NTLocalized("Email"));
  saveLabel_ = label(NTLocalized("Save in"));
  restoreLabel_ = label(NTLocalized("Preview"));
  subtitleLabel_->setText(NTLocalized("You can simply export your backup to:\nEmail / Dropbox / Zorori Drive"));

  // The summary above the actions: icon, size, date, contents.
  auto header = ui::View::make(ui::Rect(0, 0, 320, 110));
  backupIconImageView_->setFrame(ui::Rect(15, 15, 60, 60));
  sizeLabel_->setFrame(ui::Rect(90, 10, 220, 22));
  dateLabel_->setFrame(ui::Rect(90, 34, 220, 22));
  infoLabel_->setFrame(ui::Rect(90, 58, 220, 22));
  subtitleLabel_->setFrame(ui::Rect(15, 84, 290, 22));
  for (const auto& view : std::vector<std::shared_ptr<ui::View>>{backupIconImageView_, sizeLabel_, dateLabel_, infoLabel_,
                                                                  subtitleLabel_})
    header->addSubview(view);
  tableView().setTableHeaderView(header);
  setStaticSections({{"", "", {row({emailLabel_}), row({saveLabel_}), row({restoreLabel_}, nullptr, nullptr, true)}}});

  if (backup_) {
    if (backup_->size()) sizeLabel_->setText(BackupTexts::sizeText(*backup_->size()));
    if (backup_->date()) dateLabel_->setText(BackupTexts::mediumDateText(*backup_->date()));
  }
  unsigned long long notes = 0;
  for (const auto& [title, entries] : folders_) notes += entries.size();
  infoLabel_->setText(ns::format(NTLocalized("%1$@ notes in %2$@ folders"), notes,
                                 static_cast<unsigned long long>(folders_.size())));
}

void SettingsBackupViewController::didSelectRow(ui::TableView& table, const ui::IndexPath& path) {
  table.deselectRow(path, true);
  switch (path.row) {
    case kEmailRow: emailClicked(); break;
    case kSaveRow:
      if (auto cell = table.cellForRow(path)) saveClicked(*cell);
      break;
    case kPreviewRow: performSegue(kPreviewSegue, nullptr); break;
    default: break;
  }
}

void SettingsBackupViewController::done() { dismissViewController(true); }

void SettingsBackupViewController::emailClicked() {
  if (!backup_) return;
  std::string date = backup_->date() ? BackupTexts::mediumDateText(*backup_->date()) : "";
  std::string subject = ns::format(NTLocalized("%@ - %@"), TXKit::applicationName(), NTLocalized("Backup"));
  std::string body = ns::format(NTLocalized("%@<br>%@<br><br>%@<br><br>%@"),
                                NTLocalized("This email contains a backup of your notes."),
                                NTLocalized("Send yourself this email to keep your backup in a safe place."),
                                NTLocalized("To restore notes open this email through your Mail app, tap on the "
                                            "attachment and import your notes."),
                                ns::format(NTLocalized("Backup Date: %@"), date));
  // A file that went away since the list was read is mailed without it, as
  // the composer does with no data.
  auto data = ns::FileManager::defaultManager().contentsAtPath(backup_->URL().path());
  TXKit::sharedInstance().openEmailWithSubject(subject, body, true, std::nullopt, true, data, kMimeType,
                                               backup_->URL().lastPathComponent());
}

void SettingsBackupViewController::saveClicked(ui::View& sender) {
  if (!backup_) return;
  docInteractionController_ = ui::DocumentInteractionController::withURL(backup_->URL().absoluteString());
  docInteractionController_->presentOpenInMenu(sender.frame(), sender.superview(), true);
}

void SettingsBackupViewController::prepareForSegue(ui::StoryboardSegue& segue, void*) {
  if (segue.identifier() != kPreviewSegue) return;
  auto navigation = std::dynamic_pointer_cast<ui::NavigationController>(segue.destinationViewController());
  if (!navigation || navigation->viewControllers().empty()) return;
  if (auto preview = std::dynamic_pointer_cast<SettingsBackupPreviewViewController>(navigation->viewControllers().front()))
    preview->setFolders(folders_);
}
