#include "Notes/NotesViewController.h"

#include <algorithm>

#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/AppDelegate.h"
#include "Notes/DetailViewController.h"
#include "Notes/FetchedRowChanges.h"
#include "Notes/ListScreen.h"
#include "Notes/Localized.h"
#include "Notes/FoldersViewController.h"
#include "Notes/MoveNoteViewController.h"
#include "Notes/NTData.h"
#include "Notes/NTFolder.h"
#include "Notes/NTNote.h"
#include "Notes/NTSettings.h"
#include "Notes/NoteTableViewCell.h"
#include "Notes/SearchResultsController.h"
#include "Platform/CoreData/ManagedObjectContext.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Calendar.h"
#include "Platform/Foundation/DateFormatter.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/PopoverPresentationController.h"
#include "Platform/UIKit/SearchController.h"
#include "Platform/UIKit/SplitViewController.h"
#include "Platform/UIKit/Storyboard.h"
#include "Platform/UIKit/StoryboardSegue.h"
#include "Platform/UIKit/TableView.h"

namespace {

constexpr const char* kCellIdentifier = "Cell";
constexpr double kAllNotesHeaderHeight = 30;
constexpr double kContentInsetBottom = 60;

using notes::kitLocalized;
using notes::localized;

ns::IndexPath toStore(const ui::IndexPath& p) { return ns::IndexPath{size_t(p.section), size_t(p.row)}; }
ui::IndexPath toTable(const ns::IndexPath& p) { return ui::IndexPath{int(p.section), int(p.row)}; }

std::shared_ptr<AppDelegate> appDelegate() { return AppDelegate::instance(); }

// The editor on the detail side of a pad, or null.
std::shared_ptr<DetailViewController> padEditor() {
  auto* folders = FoldersViewController::instance();
  return folders ? folders->detailViewController() : nullptr;
}

// The first controller of a navigation controller's stack, or the
// controller itself.
std::shared_ptr<ui::ViewController> topOf(const std::shared_ptr<ui::ViewController>& controller) {
  if (auto nav = std::dynamic_pointer_cast<ui::NavigationController>(controller)) return nav->topViewController();
  return controller;
}

// An editor shown from the list gets the split view's button that shows
// the list again beside its own back button.
void giveDisplayModeButton(ui::ViewController& source, ui::ViewController& editor) {
  if (auto* split = source.splitViewController()) {
    editor.navigationItem().setLeftBarButtonItem(split->displayModeButtonItem());
    editor.navigationItem().setLeftItemsSupplementBackButton(true);
  }
}

}  // namespace

NotesViewController::NotesViewController() {
  registerUnwindAction("doneSettings:", [this](ui::StoryboardSegue& segue) { doneSettings(segue); });
  registerUnwindAction("doneMove:", [this](ui::StoryboardSegue& segue) { doneMove(segue); });
}

NotesViewController::~NotesViewController() {
  for (const auto& token : observers_) ns::NotificationCenter::defaultCenter().removeObserver(token);
}

std::shared_ptr<NotesViewController> NotesViewController::self() {
  return std::static_pointer_cast<NotesViewController>(shared_from_this());
}

// MARK: - Fetch

cd::FetchedResultsController* NotesViewController::fetchedResultsController() {
  if (fetchedResultsController_) return fetchedResultsController_.get();
  auto app = appDelegate();
  if (!app) return nullptr;
  std::shared_ptr<cd::ManagedObjectContext> context = app->managedObjectContext();
  if (!context) return nullptr;

  cd::FetchRequest request(NTNote::kEntityName);
  request.setFetchBatchSize(20);
  canMoveRows_ = false;
  int64_t order = NTSettings::userDefaults()->integerForKey(NTSettings::kNotesSortOrderKey);
  std::optional<cd::SortDescriptor> primary;
  if (order == 1) {
    primary.emplace("title", true, cd::SortDescriptor::Comparison::LocalizedCaseInsensitive);
  } else if (order == 2) {
    primary.emplace("displayOrder", true);
    canMoveRows_ = true;
  } else {
    primary.emplace("timeStamp", false);
  }
  std::string sectionKeyPath;
  if (folder_) {
    request.setSortDescriptors({*primary});
    request.setPredicate(cd::Predicate::compare("folder", cd::Predicate::Operator::EqualTo,
                                                std::static_pointer_cast<cd::ManagedObject>(folder_)));
  } else {
    request.setSortDescriptors({cd::SortDescriptor("folder.displayOrder", true), *primary});
    sectionKeyPath = "folder.displayOrder";
  }
  fetchedResultsController_ = std::make_unique<cd::FetchedResultsController>(request, context, sectionKeyPath);
  fetchedResultsController_->setDelegate(std::weak_ptr<cd::FetchedResultsControllerDelegate>(self()));
  ns::Error error;
  if (!fetchedResultsController_->performFetch(&error)) QB_REPORT(error);
  return fetchedResultsController_.get();
}

const std::vector<cd::FetchedResultsSectionInfo>& NotesViewController::sections() {
  static const std::vector<cd::FetchedResultsSectionInfo> none;
  auto* frc = fetchedResultsController();
  return frc ? frc->sections() : none;
}

std::optional<ui::IndexPath> NotesViewController::indexPathOfNote(const std::shared_ptr<NTNote>& note) {
  auto* frc = fetchedResultsController();
  if (!frc || !note) return std::nullopt;
  auto path = frc->indexPathForObject(note);
  if (!path) return std::nullopt;
  return toTable(*path);
}

void NotesViewController::refetch() {
  if (folderObjectID_) {
    // A folder that was not yet saved when the list loaded had only a
    // temporary identity, which its saved self no longer answers to.
    if (folder_ && folderObjectID_->isTemporaryID() && !folder_->objectID().isTemporaryID())
      folderObjectID_ = folder_->objectID();
    std::shared_ptr<cd::ManagedObject> object;
    if (auto app = appDelegate()) {
      ns::Error error;
      object = app->managedObjectContext()->existingObjectWithID(*folderObjectID_, &error);
    }
    folder_ = std::dynamic_pointer_cast<NTFolder>(object);
    if (!folder_) folderObjectID_.reset();
  }
  fetchedResultsController_.reset();
  if (isViewLoaded()) tableView().reloadData();
}

std::shared_ptr<NTNote> NotesViewController::noteAtIndexPath(const ui::IndexPath& path) {
  const auto& all = sections();
  if (path.section < 0 || path.row < 0 || size_t(path.section) >= all.size()) return nullptr;
  const auto& objects = all[size_t(path.section)].objects();
  if (size_t(path.row) >= objects.size()) return nullptr;
  return std::dynamic_pointer_cast<NTNote>(objects[size_t(path.row)]);
}

size_t NotesViewController::numberOfNotes() {
  auto* frc = fetchedResultsController();
  return frc ? frc->fetchedObjects().size() : 0;
}

// MARK: - Lifecycle

void NotesViewController::awakeFromNib() {
  if (TXKit::iPad()) {
    setClearsSelectionOnViewWillAppear(false);
    setPreferredContentSize(ui::Size{320, 600});
  }
}

void NotesViewController::viewDidLoad() {
  ui::TableViewController::viewDidLoad();
  if (folder_) folderObjectID_ = folder_->objectID();
  setTitle(folder_ ? folder_->title().value_or("") : localized("All Notes"));
  navigationItem().setRightBarButtonItem(editButtonItem());

  notes::styleListScreen(*this);
  // Tapping a row opens its note, as the prototype cell's segue.
  tableView().registerCell(kCellIdentifier, [] {
    auto cell = std::make_shared<NoteTableViewCell>(kCellIdentifier);
    cell->setSegueIdentifier("showDetail");
    return cell;
  });

  auto search = notes::installSearch(*this);
  searchController_ = search.controller;
  searchResultsController_ = search.results;

  ui::EdgeInsets inset = tableView().contentInset();
  inset.bottom = kContentInsetBottom;
  tableView().setContentInset(inset);

  std::weak_ptr<NotesViewController> weak = self();
  auto refetchBlock = [weak](const ns::Notification&) {
    if (auto s = weak.lock()) s->refetch();
  };
  auto& center = ns::NotificationCenter::defaultCenter();
  const void* app = &ui::Application::shared();
  observers_.push_back(center.addObserver(ui::kApplicationSignificantTimeChangeNotification, app,
                                          dispatch::Queue::main(), refetchBlock));
  observers_.push_back(center.addObserver(ui::kContentSizeCategoryDidChangeNotification, app,
                                          dispatch::Queue::main(), refetchBlock));
  registerForPreviewing(std::weak_ptr<ui::PreviewingDelegate>(self()), tableViewShared());
}

void NotesViewController::viewWillAppear(bool animated) {
  if (auto* nav = navigationController()) nav->navigationBar().setShadowImage(std::make_shared<const ui::Image>(nullptr));
  // Only a phone drops the selection; a pad keeps the open note marked.
  if (TXKit::iPhone()) {
    if (auto selected = tableView().indexPathForSelectedRow()) tableView().deselectRow(*selected, animated);
  }
  ui::TableViewController::viewWillAppear(animated);
}

void NotesViewController::viewDidAppear(bool animated) {
  ui::TableViewController::viewDidAppear(animated);
  if (!animated) return;
  auto& kit = TXKit::sharedInstance();
  size_t count = numberOfNotes();
  if (count > 0) {
    auto* nav = navigationController();
    kit.showTipIfNeededWithID("tipNoteSwipeLeft", localized("Swipe the note right to left to reveal more options"),
                              tableView().cellForRow(ui::IndexPath{0, 0}).get(), nav ? nav->view().get() : nullptr,
                              0, true);
  }
  if (!isEditing() && NTSettings::userDefaults()->integerForKey(NTSettings::kNotesSortOrderKey) == 2 && count >= 2) {
    kit.showTipIfNeededWithID("tipNotesManualReorder", localized("Tap Edit to reorder notes"), editButtonItem().get(),
                              0, true);
  }
}

void NotesViewController::setEditing(bool editing, bool animated) {
  ui::TableViewController::setEditing(editing, animated);
  if (!editing && TXKit::iPad()) updateSelectedNoteFromDetailsView();
}

void NotesViewController::doneSettings(ui::StoryboardSegue& segue) {
  segue.sourceViewController()->dismissViewController(true);
  refetch();
}

void NotesViewController::doneMove(ui::StoryboardSegue& segue) {
  segue.sourceViewController()->dismissViewController(true);
}

// MARK: - Opening notes

void NotesViewController::showNoteAtIndexPath(const ns::IndexPath& indexPath, bool animated) {
  // The path must name a row of its own section: a row counted across all
  // sections would open a note of another folder, or none at all.
  if (!noteAtIndexPath(toTable(indexPath))) return;
  if (auto* nav = navigationController()) nav->popToViewController(this, false);
  tableView().selectRow(toTable(indexPath), animated, ui::TableViewScrollPosition::Middle);
  if (!animated && !TXKit::iPad()) {
    auto board = storyboard();
    auto* nav = navigationController();
    auto editor = board ? std::dynamic_pointer_cast<DetailViewController>(
                              board->instantiateViewController("DetailViewController"))
                        : nullptr;
    if (editor && nav) {
      editor->setNote(noteAtIndexPath(toTable(indexPath)));
      nav->pushViewController(editor, false);
      return;
    }
  }
  performSegue("showDetail", this);
  updateSelectedNoteFromDetailsView();
}

void NotesViewController::showNote(std::shared_ptr<NTNote> note, bool animated) {
  if (!note) return;
  if (auto path = indexPathOfNote(note)) showNoteAtIndexPath(toStore(*path), animated);
}

// The editor saved the note it let go of while the segue handed it the new
// one; the changes of that save marked the old note: the new one is marked.
void NotesViewController::didSelectRow(ui::TableView&, const ui::IndexPath&) { updateSelectedNoteFromDetailsView(); }

void NotesViewController::updateSelectedNoteFromDetailsView() {
  auto editor = padEditor();
  if (!editor || !isViewLoaded()) return;
  if (auto path = indexPathOfNote(editor->note()))
    tableView().selectRow(*path, true, ui::TableViewScrollPosition::None);
}

void NotesViewController::prepareForSegue(ui::StoryboardSegue& segue, void* sender) {
  if (segue.identifier() == "showDetail") {
    auto editor = std::dynamic_pointer_cast<DetailViewController>(topOf(segue.destinationViewController()));
    auto selected = tableView().indexPathForSelectedRow();
    if (!editor || !selected) return;
    editor->setNote(noteAtIndexPath(*selected));
    giveDisplayModeButton(*this, *editor);
  } else if (segue.identifier() == "move") {
    auto picker = std::dynamic_pointer_cast<MoveNoteViewController>(topOf(segue.destinationViewController()));
    auto* path = static_cast<const ui::IndexPath*>(sender);
    if (picker && path) picker->setNote(noteAtIndexPath(*path));
  } else if (auto editor = padEditor()) {
    editor->saveNoteDeleteIfEmpty(false);
  }
}

// MARK: - Table

int NotesViewController::numberOfSections(ui::TableView&) { return int(sections().size()); }

int NotesViewController::numberOfRows(ui::TableView&, int section) {
  const auto& all = sections();
  if (section < 0 || size_t(section) >= all.size()) return 0;
  return int(all[size_t(section)].numberOfObjects());
}

std::shared_ptr<ui::TableViewCell> NotesViewController::cellForRow(ui::TableView& table, const ui::IndexPath& path) {
  auto cell = table.dequeueReusableCell(kCellIdentifier, path);
  auto* noteCell = dynamic_cast<NoteTableViewCell*>(cell.get());
  if (auto note = noteAtIndexPath(path); note && noteCell) configureCell(*noteCell, *note, false);
  return cell;
}

std::string NotesViewController::titleForHeader(ui::TableView&, int section) {
  if (folder_) return {};
  auto note = noteAtIndexPath(ui::IndexPath{section, 0});
  if (!note) return {};
  auto folder = note->folder();
  return folder ? folder->title().value_or("") : std::string();
}

double NotesViewController::heightForHeader(ui::TableView&, int) { return folder_ ? 0 : kAllNotesHeaderHeight; }

void NotesViewController::configureCell(NoteTableViewCell& cell, const NTNote& note, bool animated) {
  cell.noteTitleLabel()->setText(note.title().value_or(""));
  std::string date;
  if (NTSettings::userDefaults()->boolForKey(NTSettings::kShowNoteDateKey)) {
    if (auto stamp = note.timeStamp()) date = stringFromDate(*stamp);
  }
  cell.noteDateLabel()->setText(date);
  cell.setHideImage(!note.reminderDate().has_value(), animated);
  cell.setNeedsLayout();
}

std::string NotesViewController::stringFromDate(ns::Date date) const {
  ns::Calendar calendar = ns::Calendar::current();
  bool today = calendar.startOfDay(date) == calendar.startOfDay(ns::Date::now());
  ns::DateFormatter formatter;
  formatter.setDoesRelativeDateFormatting(true);
  formatter.setDateStyle(today ? ns::DateFormatterStyle::None : ns::DateFormatterStyle::Short);
  formatter.setTimeStyle(today ? ns::DateFormatterStyle::Short : ns::DateFormatterStyle::None);
  return formatter.stringFromDate(date);
}

// MARK: - Editing

std::optional<std::vector<std::shared_ptr<ui::TableViewRowAction>>> NotesViewController::editActionsForRow(
    ui::TableView&, const ui::IndexPath&) {
  std::weak_ptr<NotesViewController> weak = self();
  auto remove = ui::TableViewRowAction::make(ui::TableViewRowActionStyle::Destructive, localized("Delete"),
                                             [weak](ui::TableViewRowAction&, const ui::IndexPath& path) {
                                               if (auto s = weak.lock()) s->confirmDelete(path);
                                             });
  auto move = ui::TableViewRowAction::make(ui::TableViewRowActionStyle::Normal, localized("Move"),
                                           [weak](ui::TableViewRowAction&, const ui::IndexPath& path) {
                                             if (auto s = weak.lock()) {
                                               ui::IndexPath row = path;
                                               s->performSegue("move", &row);
                                             }
                                           });
  auto reminder = ui::TableViewRowAction::make(ui::TableViewRowActionStyle::Normal, localized("Reminder"),
                                               [weak](ui::TableViewRowAction&, const ui::IndexPath& path) {
                                                 if (auto s = weak.lock()) s->showReminderEditor(s->noteAtIndexPath(path));
                                               });
  reminder->setBackgroundColor(ui::Color::withRGBA(0.16, 0.54, 0.82, 1));
  return std::vector<std::shared_ptr<ui::TableViewRowAction>>{remove, move, reminder};
}

void NotesViewController::confirmDelete(const ui::IndexPath& path) {
  auto note = noteAtIndexPath(path);
  if (!note) return;
  auto sheet = ui::AlertController::make(localized("Delete this note?"), note->title().value_or(""),
                                         ui::AlertControllerStyle::ActionSheet);
  std::weak_ptr<NotesViewController> weak = self();
  // The sheet keeps the note itself, not its row: rows shift when the list
  // changes while the sheet is up, and the row would then name another note.
  std::weak_ptr<NTNote> weakNote = note;
  sheet->addAction(ui::AlertAction::make(localized("Delete Note"), ui::AlertActionStyle::Destructive,
                                         [weak, weakNote](ui::AlertAction&) {
                                           auto s = weak.lock();
                                           auto n = weakNote.lock();
                                           if (s && n) s->deleteNote(n);
                                         }));
  sheet->addAction(ui::AlertAction::make(kitLocalized("Cancel"), ui::AlertActionStyle::Cancel));
  if (auto cell = tableView().cellForRow(path)) {
    sheet->popoverPresentationController()->setSourceView(cell);
    sheet->popoverPresentationController()->setSourceRect(cell->bounds());
  } else {
    sheet->popoverPresentationController()->setSourceView(tableViewShared());
    sheet->popoverPresentationController()->setSourceRect(tableView().rectForRow(path));
  }
  presentViewController(sheet, true);
}

void NotesViewController::deleteNote(const std::shared_ptr<NTNote>& note) {
  auto path = indexPathOfNote(note);
  if (!path) return;  // gone meanwhile
  commitEditingStyle(tableView(), ui::TableViewCellEditingStyle::Delete, *path);
}

void NotesViewController::commitEditingStyle(ui::TableView&, ui::TableViewCellEditingStyle style,
                                             const ui::IndexPath& path) {
  if (style != ui::TableViewCellEditingStyle::Delete) return;
  auto note = noteAtIndexPath(path);
  if (!note) return;
  NTData::deleteNote(*fetchedResultsController()->managedObjectContext(), note);
  if (auto app = appDelegate()) NTData::saveContext(*app->managedObjectContext());
}

void NotesViewController::showReminderEditor(const std::shared_ptr<NTNote>& note) {
  auto app = appDelegate();
  if (!note || !app) return;
  std::weak_ptr<NotesViewController> weak = self();
  app->showReminderEditorForNote(note, [weak](bool stayEditing) {
    if (stayEditing) return;
    if (auto s = weak.lock()) s->setEditing(false, true);
  });
}

void NotesViewController::moveRow(ui::TableView&, const ui::IndexPath& from, const ui::IndexPath& to) {
  auto* frc = fetchedResultsController();
  if (!frc) return;
  auto context = frc->managedObjectContext();
  context->processPendingChanges();
  auto note = noteAtIndexPath(from);
  if (!note) return;
  // The folder of the section it was dropped in: in All Notes a drop into
  // another folder's section moves the note there.
  std::shared_ptr<NTFolder> target;
  if (auto first = noteAtIndexPath(ui::IndexPath{to.section, 0})) target = first->folder();
  userMove_ = true;
  NTData::moveNote(*context, note, size_t(std::max(0, to.row)), target);
  context->processPendingChanges();
  userMove_ = false;
  NTData::saveContext(*context);
}

// MARK: - Fetched results

void NotesViewController::controllerWillChangeContent(cd::FetchedResultsController&) {
  if (userMove_ || !isViewLoaded()) return;
  tableView().beginUpdates();
}

void NotesViewController::controllerDidChangeSection(cd::FetchedResultsController&,
                                                     const cd::FetchedResultsSectionInfo&, size_t sectionIndex,
                                                     cd::FetchedResultsChangeType type) {
  if (userMove_ || !isViewLoaded()) return;
  notes::applyFetchedSectionChange(tableView(), type, int(sectionIndex));
}

void NotesViewController::controllerDidChangeObject(cd::FetchedResultsController&,
                                                    const std::shared_ptr<cd::ManagedObject>& object,
                                                    std::optional<ns::IndexPath> indexPath,
                                                    cd::FetchedResultsChangeType type,
                                                    std::optional<ns::IndexPath> newIndexPath) {
  if (userMove_ || !isViewLoaded()) return;
  auto& table = tableView();
  auto reconfigure = [&](ui::TableViewCell& cell, const ui::IndexPath&) {
    auto* noteCell = dynamic_cast<NoteTableViewCell*>(&cell);
    auto note = std::dynamic_pointer_cast<NTNote>(object);
    if (noteCell && note) configureCell(*noteCell, *note, true);
  };
  notes::applyFetchedRowChange(table, type, indexPath, newIndexPath, toTable, reconfigure);
}

void NotesViewController::controllerDidChangeContent(cd::FetchedResultsController&) {
  if (!isViewLoaded()) return;
  if (userMove_) {
    std::weak_ptr<NotesViewController> weak = self();
    dispatch::Queue::main()->afterSeconds(kReloadAfterMoveDelay, [weak] {
      if (auto s = weak.lock()) s->tableView().reloadData();
    });
    return;
  }
  tableView().endUpdates();
  updateSelectedNoteFromDetailsView();
}

// MARK: - Previews

std::shared_ptr<ui::ViewController> NotesViewController::previewingViewController(ui::PreviewingContext& context,
                                                                                  ui::Point location) {
  auto path = tableView().indexPathForRowAtPoint(location);
  auto note = path ? noteAtIndexPath(*path) : nullptr;
  auto board = storyboard();
  if (!note || !board) return nullptr;
  if (auto cell = tableView().cellForRow(*path)) context.setSourceRect(cell->frame());
  auto editor = std::dynamic_pointer_cast<DetailViewController>(board->instantiateViewController("DetailViewController"));
  if (!editor) return nullptr;
  editor->setNote(note);
  giveDisplayModeButton(*this, *editor);
  return editor;
}

void NotesViewController::commitViewController(ui::PreviewingContext&, std::shared_ptr<ui::ViewController> controller) {
  showViewController(std::move(controller), this);
}
