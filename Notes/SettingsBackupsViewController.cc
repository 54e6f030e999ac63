#include "Notes/SettingsBackupsViewController.h"

#include <algorithm>

#include "Libraries/AppSupportKit/TXKit.h"
#include "Notes/BackupTexts.h"
#include "Notes/NTLocalized.h"
#include "Notes/SettingsBackupViewController.h"
#include "Platform/Dispatch/MainThread.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Format.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/StoryboardSegue.h"
#include "Platform/UIKit/TableView.h"

namespace {

constexpr const char* kCellIdentifier = "Cell";
constexpr double kFadeDuration = 0.3;

// The engine's calls come from its own work: each is carried out on the
// main queue before the engine goes on.
void onMainQueue(const std::function<void()>& block) {
  if (dispatch::isMainThread())
    block();
  else
    dispatch::Queue::main()->sync(block);
}

}  // namespace

std::weak_ptr<SettingsBackupsViewController> SettingsBackupsViewController::weakSelf() {
  return std::static_pointer_cast<SettingsBackupsViewController>(shared());
}

void SettingsBackupsViewController::viewDidLoad() {
  ui::TableViewController::viewDidLoad();
  setTitle(NTLocalized("Backups"));
  tableView().registerCell(kCellIdentifier, [] {
    return std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Subtitle, kCellIdentifier);
  });

  auto header = ui::View::make(ui::Rect(0, 0, 320, 60));
  backupNowButton_ = ui::Button::withType(ui::ButtonType::Custom);
  backupNowButton_->setFrame(ui::Rect(15, 10, 40, 40));
  backupNowButton_->setImage(ui::Image::named("Features-Backup"));
  backupNowButton_->setAccessibilityLabel(NTLocalized("Backup now"));
  auto weak = weakSelf();
  backupNowButton_->addTarget(this, [weak](ui::Control&) {
    if (auto me = weak.lock()) me->addBackupClicked();
  }, ui::kControlEventTouchUpInside);
  backupNowLabel_ = std::make_shared<ui::Label>();
  backupNowLabel_->setFrame(ui::Rect(65, 10, 240, 40));
  progressLabel_ = std::make_shared<ui::Label>();
  progressLabel_->setFrame(ui::Rect(65, 10, 240, 20));
  progressView_ = std::make_shared<ui::ProgressView>(ui::ProgressViewStyle::Bar);
  progressView_->setFrame(ui::Rect(65, 40, 240, 2));
  for (const auto& view : std::vector<std::shared_ptr<ui::View>>{backupNowButton_, backupNowLabel_, progressLabel_,
                                                                  progressView_})
    header->addSubview(view);
  tableView().setTableHeaderView(header);

  backupNowLabel_->setText(NTLocalized("Backup now"));
  progressLabel_->setText(NTLocalized("Creating backup..."));
  progressView_->setAlpha(0);
  progressLabel_->setAlpha(0);
  loadBackups();
  navigationItem().setRightBarButtonItem(editButtonItem());
  editButtonItem()->setEnabled(!backups_.empty());
}

void SettingsBackupsViewController::viewWillAppear(bool animated) {
  ui::TableViewController::viewWillAppear(animated);
  if (auto selected = tableView().indexPathForSelectedRow()) tableView().deselectRow(*selected, animated);
}

void SettingsBackupsViewController::setEditing(bool editing, bool animated) {
  ui::TableViewController::setEditing(editing, animated);
  tableView().setEditing(editing, animated);
}

void SettingsBackupsViewController::loadBackups() { backups_ = NTBackupsManager::localBackups(); }

int SettingsBackupsViewController::numberOfRows(ui::TableView&, int section) {
  return section == 0 ? int(backups_.size()) : 0;
}

std::shared_ptr<ui::TableViewCell> SettingsBackupsViewController::cellForRow(ui::TableView& table,
                                                                           const ui::IndexPath& path) {
  auto cell = table.dequeueReusableCell(kCellIdentifier, path);
  const NTBackup& backup = backups_[size_t(path.row)];
  std::string kind = NTLocalized("Full Backup");
  if (backup.isAutoBackup()) {
    cell->textLabel().setText(ns::format(NTLocalized("%@ (%@)"), kind, NTLocalized("Auto Backup")));
    cell->imageView().setImage(ui::Image::named("Features-AutoBackup"));
  } else {
    cell->textLabel().setText(kind);
    cell->imageView().setImage(ui::Image::named("Features-Backup"));
  }
  // A file whose size or date cannot be read shows what is known.
  std::string size = backup.size() ? BackupTexts::sizeText(*backup.size()) : "";
  std::string age = backup.date() ? BackupTexts::ageText(*backup.date()) : "";
  if (auto* detail = cell->detailTextLabel())
    detail->setText(size.empty() || age.empty() ? size + age : ns::format(NTLocalized("%@, %@"), size, age));
  return cell;
}

std::string SettingsBackupsViewController::titleForHeader(ui::TableView&, int section) {
  if (section != 0 || backups_.empty()) return {};
  return NTBackupsManager::backupsUseICloud() ? NTLocalized("iCloud Backups") : NTLocalized("Local Backups");
}

void SettingsBackupsViewController::commitEditingStyle(ui::TableView& table, ui::TableViewCellEditingStyle style,
                                                       const ui::IndexPath& path) {
  if (style != ui::TableViewCellEditingStyle::Delete || size_t(path.row) >= backups_.size()) return;
  NTBackupsManager::removeBackup(backups_[size_t(path.row)]);
  loadBackups();
  editButtonItem()->setEnabled(!backups_.empty());
  // The engine's list is the truth: a file it could not remove stays listed.
  if (backups_.size() + 1 == size_t(table.numberOfRows(0)))
    table.deleteRows({path}, ui::TableViewRowAnimation::Fade);
  else
    table.reloadData();
  if (backups_.empty() && isEditing()) setEditing(false, true);
}

void SettingsBackupsViewController::didSelectRow(ui::TableView&, const ui::IndexPath& path) {
  if (size_t(path.row) >= backups_.size()) return;
  selectedBackup_ = backups_[size_t(path.row)];
  auto weak = weakSelf();
  SettingsBackupViewController::foldersFromBackup(*selectedBackup_, [weak, path](const NTBackupsManager::Folders* folders) {
    auto me = weak.lock();
    if (!me) return;
    if (!folders) {
      me->tableView().deselectRow(path, true);
      return;
    }
    me->selectedFolders_ = *folders;
    me->performSegue(kShowBackupSegue, nullptr);
  });
}

void SettingsBackupsViewController::prepareForSegue(ui::StoryboardSegue& segue, void*) {
  if (segue.identifier() != kShowBackupSegue) return;
  auto details = std::dynamic_pointer_cast<SettingsBackupViewController>(segue.destinationViewController());
  if (!details || !selectedBackup_) return;
  details->setBackup(*selectedBackup_);
  details->setFolders(selectedFolders_.value_or(NTBackupsManager::Folders{}));
}

// ---- Making a backup.

void SettingsBackupsViewController::addBackupClicked() {
  startRotate();
  auto weak = weakSelf();
  NTBackupsManager::startBackup(false, [weak](float progress, const NTBackup* backup, const ns::Error* error) {
    std::optional<NTBackup> made = backup ? std::optional<NTBackup>(*backup) : std::nullopt;
    std::optional<ns::Error> failure = error ? std::optional<ns::Error>(*error) : std::nullopt;
    onMainQueue([&] {
      auto me = weak.lock();
      if (!me) return;
      me->progressView_->setProgress(progress);
      if (made || failure)
        me->stopRotateWithCompletionBlock([weak, made, failure] {
          if (auto me = weak.lock()) me->backupEnded(made, failure);
        });
    });
  });
}

void SettingsBackupsViewController::setInputsEnabled(bool enabled) {
  backupNowButton_->setEnabled(enabled);
  editButtonItem()->setEnabled(enabled && !backups_.empty());
  navigationItem().setHidesBackButton(!enabled, true);
  view()->setUserInteractionEnabled(enabled);
}

void SettingsBackupsViewController::startRotate() {
  progressView_->setProgress(0);
  setInputsEnabled(false);
  auto weak = weakSelf();
  ui::View::animate(kFadeDuration, [weak] {
    auto me = weak.lock();
    if (!me) return;
    me->progressView_->setAlpha(1);
    me->progressLabel_->setAlpha(1);
    me->backupNowLabel_->setAlpha(0);
  });
  rotating_ = true;
  rotate();
}

// One full turn of the button; the platform draws no layer animation, so a
// turn is the time it takes and ends at the start again.
void SettingsBackupsViewController::rotate() {
  auto weak = weakSelf();
  ui::View::animate(kTurnDuration, nullptr, [weak](bool) {
    if (auto me = weak.lock()) me->animationDidStop();
  });
}

void SettingsBackupsViewController::stopRotateWithCompletionBlock(std::function<void()> block) {
  afterRotation_ = std::move(block);
  rotating_ = false;
}

void SettingsBackupsViewController::animationDidStop() {
  if (rotating_) {
    rotate();
    return;
  }
  progressView_->setProgress(1.0f);
  setInputsEnabled(true);
  auto weak = weakSelf();
  ui::View::animate(kFadeDuration, [weak] {
    auto me = weak.lock();
    if (!me) return;
    me->progressView_->setAlpha(0);
    me->progressLabel_->setAlpha(0);
    me->backupNowLabel_->setAlpha(1);
  });
  if (auto block = std::move(afterRotation_)) {
    afterRotation_ = nullptr;
    block();
  }
}

void SettingsBackupsViewController::backupEnded(std::optional<NTBackup> backup, std::optional<ns::Error> error) {
  if (backup) {
    loadBackups();
    editButtonItem()->setEnabled(!backups_.empty());
    auto found = std::find(backups_.begin(), backups_.end(), *backup);
    if (found == backups_.end() || size_t(tableView().numberOfRows(0)) + 1 != backups_.size()) {
      tableView().reloadData();
    } else {
      ui::IndexPath path = ui::IndexPath::forRow(int(found - backups_.begin()), 0);
      tableView().insertRows({path}, ui::TableViewRowAnimation::Top);
      tableView().selectRow(path, true, ui::TableViewScrollPosition::Top);
      auto weak = weakSelf();
      dispatch::Queue::main()->afterSeconds(1, [weak, path] {
        auto me = weak.lock();
        if (me && path.row < me->tableView().numberOfRows(0)) me->tableView().deselectRow(path, true);
      });
    }
  }
  if (error) TXKit::presentError(&*error);
}
