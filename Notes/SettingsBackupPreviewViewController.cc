#include "Notes/SettingsBackupPreviewViewController.h"

#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/UIComponents/QBProgressHUD.h"
#include "Notes/AppDelegate.h"
#include "Notes/BackupNoteTableViewCell.h"
#include "Notes/BackupRestore.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTLocalized.h"
#include "Notes/NTNote.h"
#include "Notes/SettingsBackupNotePreviewViewController.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Calendar.h"
#include "Platform/Foundation/DateFormatter.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/StoryboardSegue.h"
#include "Platform/UIKit/TableView.h"

namespace {

constexpr const char* kCellIdentifier = "Cell";

}  // namespace

std::string SettingsBackupPreviewViewController::stringFromDate(ns::Date date) {
  ns::DateFormatter formatter;
  formatter.setDoesRelativeDateFormatting(true);
  const auto& calendar = ns::Calendar::current();
  auto days = calendar.components(ns::kCalendarUnitDay, calendar.startOfDay(date), calendar.startOfDay(ns::Date::now()));
  if (days.day.value_or(0) != 0) {
    formatter.setDateStyle(ns::DateFormatterStyle::Short);
    formatter.setTimeStyle(ns::DateFormatterStyle::None);
  } else {
    formatter.setDateStyle(ns::DateFormatterStyle::None);
    formatter.setTimeStyle(ns::DateFormatterStyle::Short);
  }
  return formatter.stringFromDate(date);
}

void SettingsBackupPreviewViewController::viewDidLoad() {
  ui::TableViewController::viewDidLoad();
  selectedIndexPaths_.clear();
  if (auto* navigation = navigationController()) navigation->view()->setTintColor(NTAppearance::tintColor());
  std::weak_ptr<SettingsBackupPreviewViewController> weak =
      std::static_pointer_cast<SettingsBackupPreviewViewController>(shared());
  restoreButton_ = ui::BarButtonItem::withTitle(NTLocalized("Restore"), ui::BarButtonItemStyle::Done,
                                                [weak](ui::BarButtonItem&) {
                                                  if (auto me = weak.lock()) me->restore();
                                                });
  selectAllButton_ = ui::BarButtonItem::withTitle(NTLocalized("Select All"), ui::BarButtonItemStyle::Plain,
                                                  [weak](ui::BarButtonItem&) {
                                                    if (auto me = weak.lock()) me->selectAll();
                                                  });
  navigationItem().setLeftBarButtonItem(ui::BarButtonItem::withSystemItem(
      ui::BarButtonSystemItem::Done, [weak](ui::BarButtonItem&) {
        if (auto me = weak.lock()) me->done();
      }));
  navigationItem().setRightBarButtonItems({restoreButton_, selectAllButton_});
  tableView().registerCell(kCellIdentifier,
                           [] { return std::make_shared<BackupNoteTableViewCell>(kCellIdentifier); });

  foldersName_.clear();
  totalNotes_ = 0;
  for (const auto& [title, notes] : folders_) {
    foldersName_.push_back(title);
    totalNotes_ += notes.size();
  }
  selectAll();
}

void SettingsBackupPreviewViewController::viewWillAppear(bool animated) {
  ui::TableViewController::viewWillAppear(animated);
  if (auto selected = tableView().indexPathForSelectedRow()) tableView().deselectRow(*selected, animated);
}

void SettingsBackupPreviewViewController::selectAll() {
  if (!selectedIndexPaths_.empty()) {
    selectedIndexPaths_.clear();
  } else {
    for (int section = 0; section < int(foldersName_.size()); ++section)
      for (int row = 0; row < numberOfRows(tableView(), section); ++row)
        selectedIndexPaths_[ui::IndexPath::forRow(row, section)] = true;
  }
  tableView().reloadData();
  updateView();
}

void SettingsBackupPreviewViewController::updateView() {
  restoreButton_->setEnabled(!selectedIndexPaths_.empty());
  // A count of checked notes does not say what the button does: its label
  // does.
  restoreButton_->setAccessibilityLabel(selectedIndexPaths_.empty() ? "" : NTLocalized("Restore"));
  restoreButton_->setTitle(selectedIndexPaths_.empty()
                               ? NTLocalized("Select Notes")
                               : ns::format(NTLocalized("%@/%@"),
                                            static_cast<unsigned long long>(selectedIndexPaths_.size()),
                                            static_cast<unsigned long long>(totalNotes_)));
}

const NTBackupsManager::NoteEntry* SettingsBackupPreviewViewController::note(const ui::IndexPath& path) const {
  if (path.section < 0 || size_t(path.section) >= foldersName_.size()) return nullptr;
  auto folder = folders_.find(foldersName_[size_t(path.section)]);
  if (folder == folders_.end() || path.row < 0 || size_t(path.row) >= folder->second.size()) return nullptr;
  return &folder->second[size_t(path.row)];
}

int SettingsBackupPreviewViewController::numberOfRows(ui::TableView&, int section) {
  if (section < 0 || size_t(section) >= foldersName_.size()) return 0;
  auto folder = folders_.find(foldersName_[size_t(section)]);
  return folder == folders_.end() ? 0 : int(folder->second.size());
}

std::string SettingsBackupPreviewViewController::titleForHeader(ui::TableView&, int section) {
  return section >= 0 && size_t(section) < foldersName_.size() ? foldersName_[size_t(section)] : std::string();
}

std::shared_ptr<ui::TableViewCell> SettingsBackupPreviewViewController::cellForRow(ui::TableView& table,
                                                                                 const ui::IndexPath& path) {
  auto cell = std::static_pointer_cast<BackupNoteTableViewCell>(table.dequeueReusableCell(kCellIdentifier, path));
  cell->setSelectedBackgroundView(nullptr);
  const auto* entry = note(path);
  std::string title = entry ? NTNote::titleFromNoteText(&entry->second) : "";
  cell->noteDateLabel().setText(entry ? stringFromDate(entry->first) : "");
  cell->noteTitleLabel().setText(title);
  cell->checkmarkButton().setAccessibilityLabel(ns::format(NTLocalized("Checkmark %@"), ns::trimmingWhitespaceAndNewlines(title)));
  cell->setCheckmarkSelected(selectedIndexPaths_.count(path) > 0);
  std::weak_ptr<SettingsBackupPreviewViewController> weak =
      std::static_pointer_cast<SettingsBackupPreviewViewController>(shared());
  cell->setCheckmarkChangedBlock([weak, path](bool selected) {
    auto me = weak.lock();
    if (!me) return;
    if (selected)
      me->selectedIndexPaths_[path] = true;
    else
      me->selectedIndexPaths_.erase(path);
    me->updateView();
  });
  return cell;
}

void SettingsBackupPreviewViewController::didSelectRow(ui::TableView&, const ui::IndexPath& path) {
  previewedPath_ = path;
  performSegue(kNotePreviewSegue, nullptr);
}

void SettingsBackupPreviewViewController::prepareForSegue(ui::StoryboardSegue& segue, void*) {
  auto preview = std::dynamic_pointer_cast<SettingsBackupNotePreviewViewController>(segue.destinationViewController());
  const auto* entry = previewedPath_ ? note(*previewedPath_) : nullptr;
  if (!preview || !entry) return;
  preview->setDate(entry->first);
  preview->setText(entry->second);
}

void SettingsBackupPreviewViewController::done() { dismissViewController(true); }

void SettingsBackupPreviewViewController::restore() {
  QBProgressHUD::showWithStatus(NTLocalized("Restoring backup..."));
  std::weak_ptr<SettingsBackupPreviewViewController> weak =
      std::static_pointer_cast<SettingsBackupPreviewViewController>(shared());
  dispatch::Queue::main()->afterSeconds(kRestoreDelay, [weak] {
    if (auto me = weak.lock()) me->restoreNow();
  });
}

void SettingsBackupPreviewViewController::restoreNow() {
  auto delegate = AppDelegate::instance();
  auto context = delegate ? delegate->managedObjectContext() : nullptr;
  std::vector<BackupRestore::Choice> choices;
  for (const auto& [path, checked] : selectedIndexPaths_)
    if (checked && size_t(path.section) < foldersName_.size())
      choices.push_back({foldersName_[size_t(path.section)], size_t(path.row)});
  auto restored = context ? BackupRestore::restoreNotes(*context, folders_, choices) : std::nullopt;
  QBProgressHUD::dismiss();
  if (!restored) {
    // Nothing was added; the person may try again.
    TXKit::presentTitle(NTLocalized("Error"), NTLocalized("The notes could not be restored. Nothing was changed."));
    return;
  }
  // The whole flow goes: the preview and the backup screen under it.
  ui::ViewController* dismisser = presentingViewController();
  if (dismisser && dismisser->presentingViewController()) dismisser = dismisser->presentingViewController();
  std::string title = ns::format(NTLocalized("Successfully restored %@ notes"), static_cast<unsigned long long>(*restored));
  auto alert = [title] { TXKit::presentTitle(title, ""); };
  if (dismisser)
    dismisser->dismissViewController(true, alert);
  else
    alert();
}
