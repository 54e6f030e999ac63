#include "Notes/FoldersViewController.h"

#include "Libraries/AppSupportKit/ImageEffects.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXMoreAppsTableViewCell.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/AppDelegate.h"
#include "Notes/DetailViewController.h"
#include "Notes/FetchedRowChanges.h"
#include "Notes/ListScreen.h"
#include "Notes/Localized.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTData.h"
#include "Notes/NTSettings.h"
#include "Notes/NoteTableViewCell.h"
#include "Notes/NotesViewController.h"
#include "Notes/SearchResultsController.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/PopoverPresentationController.h"
#include "Platform/UIKit/SplitViewController.h"
#include "Platform/UIKit/Storyboard.h"
#include "Platform/UIKit/TextField.h"
#include "Platform/UIKit/View.h"

namespace {

std::weak_ptr<FoldersViewController>& sharedInstance() {
  static std::weak_ptr<FoldersViewController> instance;
  return instance;
}

using notes::kitLocalized;
using notes::localized;

// The main context of the application delegate, or null before there is one.
std::shared_ptr<cd::ManagedObjectContext> mainContext() {
  auto app = AppDelegate::instance();
  return app ? app->managedObjectContext() : nullptr;
}

ns::IndexPath toFetch(const ui::IndexPath& path) {
  return ns::IndexPath::indexPathForRow(static_cast<size_t>(path.row), static_cast<size_t>(path.section - 1));
}

ui::IndexPath toTable(const ns::IndexPath& path) {
  return ui::IndexPath::forRow(static_cast<int>(path.row), static_cast<int>(path.section) + 1);
}

// Descends through nested navigation controllers to their top controllers.
std::shared_ptr<ui::ViewController> unwrapNavigation(std::shared_ptr<ui::ViewController> controller) {
  while (auto nav = std::dynamic_pointer_cast<ui::NavigationController>(controller)) {
    controller = nav->topViewController();
  }
  return controller;
}

constexpr const char* kShowSegue = "show";
constexpr const char* kShowNotAnimatedSegue = "showNotAnimated";
constexpr const char* kSettingsSegue = "settings";

}  // namespace

FoldersViewController::FoldersViewController() {
  // The action lives in this controller, so it never outlives it.
  // Deselecting is this screen's own rule (phones only), in viewWillAppear.
  setClearsSelectionOnViewWillAppear(false);
  registerUnwindAction("doneSettings:", [this](ui::StoryboardSegue& segue) { doneSettings(segue); });
}

FoldersViewController::~FoldersViewController() {
  auto& center = ns::NotificationCenter::defaultCenter();
  for (const auto* token : {&activeObserver_, &timeChangeObserver_, &contentSizeObserver_, &backgroundObserver_}) {
    if (*token) center.removeObserver(*token);
  }
}

FoldersViewController* FoldersViewController::instance() { return sharedInstance().lock().get(); }

std::shared_ptr<FoldersViewController> FoldersViewController::self() {
  return std::static_pointer_cast<FoldersViewController>(shared());
}

cd::ManagedObjectContext* FoldersViewController::context() {
  auto* fetch = fetchedResultsController();
  return fetch ? fetch->managedObjectContext().get() : nullptr;
}

// MARK: - Fetch

cd::FetchedResultsController* FoldersViewController::fetchedResultsController() {
  if (fetchedResultsController_) return fetchedResultsController_.get();
  auto ctx = mainContext();
  if (!ctx) return nullptr;
  cd::FetchRequest request("Folder");
  request.setFetchBatchSize(20);
  request.setSortDescriptors({cd::SortDescriptor("displayOrder", true)});
  fetchedResultsController_ = std::make_unique<cd::FetchedResultsController>(request, ctx);
  fetchedResultsController_->setDelegate(std::static_pointer_cast<cd::FetchedResultsControllerDelegate>(self()));
  canMoveRows_ = true;
  ns::Error error;
  if (!fetchedResultsController_->performFetch(&error)) QB_REPORT(error);
  return fetchedResultsController_.get();
}

const std::vector<std::shared_ptr<cd::ManagedObject>>& FoldersViewController::fetchedFolders() {
  static const std::vector<std::shared_ptr<cd::ManagedObject>> none;
  auto* fetch = fetchedResultsController();
  return fetch ? fetch->fetchedObjects() : none;
}

void FoldersViewController::refetch() {
  std::optional<ui::IndexPath> selected;
  std::shared_ptr<NTFolder> selectedFolder;
  if (isViewLoaded()) {
    selected = tableView().indexPathForSelectedRow();
    if (selected) selectedFolder = folderAtIndexPath(*selected);
  }
  fetchedResultsController_.reset();
  if (!isViewLoaded()) return;
  tableView().reloadData();
  // Reloading drops the selection; the open folder stays marked, so that
  // leaving for the background still saves it.
  if (!selected) return;
  std::optional<ui::IndexPath> again;
  if (selected->section == 0) {
    again = *selected;
  } else if (auto* fetch = fetchedResultsController(); fetch && selectedFolder) {
    if (auto at = fetch->indexPathForObject(selectedFolder)) again = toTable(*at);
  }
  if (again) tableView().selectRow(*again, false, ui::TableViewScrollPosition::None);
}

std::shared_ptr<NTFolder> FoldersViewController::folderAtIndexPath(const ui::IndexPath& path) {
  auto* fetch = fetchedResultsController();
  if (path.section < 1 || !fetch) return nullptr;
  const auto& sections = fetch->sections();
  ns::IndexPath at = toFetch(path);
  if (at.section >= sections.size() || at.row >= sections[at.section].numberOfObjects()) return nullptr;
  return std::dynamic_pointer_cast<NTFolder>(fetch->objectAtIndexPath(at));
}

// MARK: - Life cycle

void FoldersViewController::awakeFromNib() {
  sharedInstance() = self();
  if (TXKit::iPad()) setPreferredContentSize({320, 600});
}

void FoldersViewController::viewDidLoad() {
  ui::TableViewController::viewDidLoad();
  if (auto* nav = navigationController()) nav->setTitle(localized("Notes"));
  setTitle(localized("Folders"));

  auto weak = std::weak_ptr<FoldersViewController>(self());
  auto add = ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::Add, [weak](ui::BarButtonItem&) {
    if (auto me = weak.lock()) me->addFolderClicked();
  });
  navigationItem().setRightBarButtonItems({add, editButtonItem()});
  settingsButton_ = ui::BarButtonItem::withImage(ui::Image::named("Settings"), ui::BarButtonItemStyle::Plain,
                                                 [weak](ui::BarButtonItem& item) {
                                                   if (auto me = weak.lock()) me->triggerSegue(kSettingsSegue, &item);
                                                 });
  settingsButton_->setAccessibilityIdentifier("Settings");
  navigationItem().setLeftBarButtonItem(settingsButton_);

  notes::styleListScreen(*this);
  // Rows are tapped while editing to rename them.
  tableView().setAllowsSelectionDuringEditing(true);
  tableView().registerCell("Cell", [] { return std::make_shared<NoteTableViewCell>("Cell"); });

  auto search = notes::installSearch(*this);
  searchController_ = search.controller;
  searchResultsController_ = search.results;

  ui::EdgeInsets inset = tableView().contentInset();
  inset.bottom = 60;
  tableView().setContentInset(inset);

  auto& center = ns::NotificationCenter::defaultCenter();
  const void* app = &ui::Application::shared();
  auto main = dispatch::Queue::main();
  activeObserver_ = center.addObserver(ui::kApplicationDidBecomeActiveNotification, app, main, [weak](const ns::Notification&) {
    if (auto me = weak.lock()) {
      me->updateSettingsBadge();
      me->refetch();
      if (me->selectionAwaitsStore_) me->restoreSelection();
    }
  });
  timeChangeObserver_ = center.addObserver(ui::kApplicationSignificantTimeChangeNotification, app, main,
                                           [weak](const ns::Notification&) {
                                             if (auto me = weak.lock()) me->refetch();
                                           });
  contentSizeObserver_ = center.addObserver(ui::kContentSizeCategoryDidChangeNotification, app, main,
                                            [weak](const ns::Notification&) {
                                              if (auto me = weak.lock()) me->refetch();
                                            });
  backgroundObserver_ = center.addObserver(ui::kApplicationDidEnterBackgroundNotification, app, main,
                                           [weak](const ns::Notification&) {
                                             if (auto me = weak.lock()) me->saveSelection();
                                           });

  restoreSelection();
  registerForPreviewing(std::static_pointer_cast<ui::PreviewingDelegate>(self()), tableViewShared());
}

void FoldersViewController::viewWillAppear(bool animated) {
  ui::TableViewController::viewWillAppear(animated);
  // An empty image: no hairline under the bar.
  if (auto* nav = navigationController()) nav->navigationBar().setShadowImage(std::make_shared<const ui::Image>(nullptr));
  if (TXKit::iPhone()) {
    if (auto selected = tableView().indexPathForSelectedRow()) tableView().deselectRow(*selected, true);
  }
}

// MARK: - Selection across launches

void FoldersViewController::saveSelection() {
  ns::Array indexes;
  if (auto selected = tableView().indexPathForSelectedRow()) {
    // All Notes is kept as -1, so that it is not taken for the first folder.
    indexes.push_back(ns::Value(static_cast<long long>(selected->section == 0 ? -1 : selected->row)));
    if (auto position = selectedNotePosition()) indexes.push_back(ns::Value(static_cast<long long>(*position)));
  }
  auto defaults = NTSettings::userDefaults();
  defaults->setObject(ns::Value(indexes), kSelectedIndexesKey);
  defaults->synchronize();
}

void FoldersViewController::restoreSelection() {
  // On a pad the list loads with the split view, before the app has opened
  // its store: the selection waits until the app first becomes active.
  selectionAwaitsStore_ = !mainContext();
  if (selectionAwaitsStore_) return;
  auto stored = NTSettings::userDefaults()->arrayForKey(kSelectedIndexesKey);
  if (!stored || stored->empty() || !(*stored)[0].isNumber()) return;
  int64_t first = (*stored)[0].integerValue();
  const auto& folders = fetchedFolders();
  if (first >= static_cast<int64_t>(folders.size()) || first < -1) return;
  std::shared_ptr<NTFolder> folder;
  if (first >= 0) {
    folder = std::dynamic_pointer_cast<NTFolder>(folders[static_cast<size_t>(first)]);
    if (!folder) return;
  }
  showFolder(folder, false);
  if (stored->size() < 2 || !(*stored)[1].isNumber()) return;
  showNoteAtPosition((*stored)[1].integerValue());
}

std::optional<int64_t> FoldersViewController::selectedNotePosition() const {
  auto notes = notesViewController();
  if (!notes || !notes->isViewLoaded()) return std::nullopt;
  ui::TableView& table = notes->tableView();
  auto selected = table.indexPathForSelectedRow();
  if (!selected) return std::nullopt;
  int64_t position = selected->row;
  for (int s = 0; s < selected->section; ++s) position += table.numberOfRows(s);
  return position;
}

void FoldersViewController::showNoteAtPosition(int64_t position) {
  auto notes = notesViewController();
  if (!notes || position < 0) return;
  ui::TableView& table = notes->tableView();
  for (int s = 0; s < table.numberOfSections(); ++s) {
    int rows = table.numberOfRows(s);
    if (position < rows) {
      notes->showNoteAtIndexPath(ns::IndexPath::indexPathForRow(static_cast<size_t>(position), static_cast<size_t>(s)),
                                 false);
      return;
    }
    position -= rows;
  }
  // Beyond the list's notes: nothing opens.
}

// MARK: - Settings badge

void FoldersViewController::updateSettingsBadge() {
  auto defaults = NTSettings::userDefaults();
  if (TXConfig::sharedInstance().shouldTriggerGroup("app", "settingsBadgeReset")) {
    defaults->setBool(false, kHideSettingsBadgeKey);
    defaults->synchronize();
  }
  bool show = !defaults->boolForKey(kHideSettingsBadgeKey) && TXMoreAppsTableViewCell::hasBadge() &&
              TXKit::sharedInstance().usesCount() >= 2;
  showingSettingsBadge_ = show;
  ui::ImagePtr image = ui::Image::named("Settings");
  if (show) {
    if (auto badge = ImageEffects::badgeImageWithText(std::nullopt, 0.5); badge && image) {
      image = ImageEffects::imageOverlaidWithImage(*image, *badge, {{14, -7}, {0, 0}});
    }
    navigationItem().setBackBarButtonItem(ui::BarButtonItem::withTitle(ns::format("%@ %@", "●", title()),
                                                                       ui::BarButtonItemStyle::Plain, nullptr));
  } else {
    navigationItem().setBackBarButtonItem(nullptr);
  }
  if (settingsButton_) settingsButton_->setImage(image);
}

void FoldersViewController::doneSettings(ui::StoryboardSegue& segue) {
  segue.sourceViewController()->dismissViewController(true);
  refetch();
  if (showingSettingsBadge_) {
    auto defaults = NTSettings::userDefaults();
    defaults->setBool(true, kHideSettingsBadgeKey);
    defaults->synchronize();
    updateSettingsBadge();
  }
}

// MARK: - Navigation

std::shared_ptr<NotesViewController> FoldersViewController::notesViewController() const {
  auto* nav = navigationController();
  if (!nav) return nullptr;
  for (const auto& controller : nav->viewControllers()) {
    if (auto notes = std::dynamic_pointer_cast<NotesViewController>(unwrapNavigation(controller))) return notes;
  }
  return nullptr;
}

std::shared_ptr<DetailViewController> FoldersViewController::detailViewController() const {
  if (!TXKit::iPad()) return nullptr;
  auto* split = splitViewController();
  if (!split || split->viewControllers().empty()) return nullptr;
  auto last = split->viewControllers().back();
  if (auto nav = std::dynamic_pointer_cast<ui::NavigationController>(last)) last = nav->topViewController();
  return std::dynamic_pointer_cast<DetailViewController>(last);
}

std::shared_ptr<NTFolder> FoldersViewController::folderOfEditor(const std::shared_ptr<ui::ViewController>& controller) const {
  auto editor = std::dynamic_pointer_cast<DetailViewController>(controller);
  auto note = editor ? editor->note() : nullptr;
  return note ? note->folder() : nullptr;
}

void FoldersViewController::saveEditorNote() {
  if (auto editor = detailViewController()) editor->saveNoteDeleteIfEmpty(false);
}

void FoldersViewController::showFolder(std::shared_ptr<NTFolder> folder, bool animated) {
  if (auto notes = notesViewController(); notes && notes->folder() == folder) return;
  if (auto* nav = navigationController()) nav->popToViewController(this, false);
  ui::IndexPath path = ui::IndexPath::forRow(0, 0);
  if (folder) {
    auto* fetch = fetchedResultsController();
    auto at = fetch ? fetch->indexPathForObject(folder) : std::nullopt;
    if (!at) return;
    path = toTable(*at);
  }
  tableView().selectRow(path, animated, ui::TableViewScrollPosition::Middle);
  performSegue(animated ? kShowSegue : kShowNotAnimatedSegue, this);
}

void FoldersViewController::showNote(std::shared_ptr<NTNote> note, bool animated) {
  if (!note) return;
  auto notes = notesViewController();
  // All Notes holds every note; a folder's list is switched to the note's folder.
  if (!notes || notes->folder()) showFolder(note->folder(), false);
  if (auto shown = notesViewController()) shown->showNote(note, animated);
}

void FoldersViewController::insertNewNoteToFolder(std::shared_ptr<NTFolder> folder, bool animated) {
  if (!folder) {
    auto* nav = navigationController();
    auto top = unwrapNavigation(nav ? nav->topViewController() : nullptr);
    if (auto notes = std::dynamic_pointer_cast<NotesViewController>(top)) folder = notes->folder();
    else folder = folderOfEditor(top);
  }
  auto* ctx = context();
  if (!ctx) return;
  auto note = NTData::insertNewNoteAtIndex(*ctx, 0, folder);
  ctx->processPendingChanges();
  showNote(note, animated);
}

bool FoldersViewController::shouldPerformSegue(const std::string&, void*) { return !isEditing(); }

void FoldersViewController::prepareForSegue(ui::StoryboardSegue& segue, void*) {
  if (segue.identifier() == kShowSegue || segue.identifier() == kShowNotAnimatedSegue) {
    auto notes = std::dynamic_pointer_cast<NotesViewController>(unwrapNavigation(segue.destinationViewController()));
    auto selected = tableView().indexPathForSelectedRow();
    if (notes) notes->setFolder(selected ? folderAtIndexPath(*selected) : nullptr);
    return;
  }
  saveEditorNote();
}

// MARK: - Table

int FoldersViewController::numberOfSections(ui::TableView&) {
  auto* fetch = fetchedResultsController();
  return 1 + (fetch ? static_cast<int>(fetch->sections().size()) : 0);
}

int FoldersViewController::numberOfRows(ui::TableView&, int section) {
  auto* fetch = fetchedResultsController();
  if (section == 0) return 1;
  if (!fetch) return 0;
  const auto& sections = fetch->sections();
  size_t s = static_cast<size_t>(section - 1);
  return s < sections.size() ? static_cast<int>(sections[s].numberOfObjects()) : 0;
}

std::shared_ptr<ui::TableViewCell> FoldersViewController::cellForRow(ui::TableView& table, const ui::IndexPath& path) {
  auto cell = table.dequeueReusableCell("Cell", path);
  cell->setSegueIdentifier(kShowSegue);
  if (auto* row = dynamic_cast<NoteTableViewCell*>(cell.get())) configureCell(*row, folderAtIndexPath(path));
  return cell;
}

void FoldersViewController::configureCell(NoteTableViewCell& cell, const std::shared_ptr<NTFolder>& folder) {
  size_t count = 0;
  if (!folder) {
    cell.noteTitleLabel()->setText(localized("All Notes"));
    cell.noteTitleLabel()->setTextColor(NTAppearance::tintColor());
    ui::ImagePtr box = ui::Image::named("Box");
    cell.noteImageView()->setImage(box ? ImageEffects::imageTintedWithColor(*box, NTAppearance::tintColor()) : nullptr);
    if (auto* ctx = context()) count = NTData::countTotalNotes(*ctx);
  } else {
    cell.noteTitleLabel()->setText(folder->title().value_or(""));
    cell.noteTitleLabel()->setTextColor(nullptr);
    cell.noteImageView()->setImage(ui::Image::named("Folder"));
    count = folder->countOfNotes();
  }
  cell.noteDateLabel()->setText(ns::format("%@", static_cast<long long>(count)));
}

bool FoldersViewController::canEditRow(ui::TableView&, const ui::IndexPath& path) { return path.section > 0; }

bool FoldersViewController::canMoveRow(ui::TableView&, const ui::IndexPath& path) {
  return path.section == 0 ? false : canMoveRows_;
}

ui::IndexPath FoldersViewController::targetIndexPathForMove(ui::TableView&, const ui::IndexPath&,
                                                            const ui::IndexPath& proposed) {
  // All Notes stays on top: a drop above it lands as the first folder.
  if (proposed.section == 0) return ui::IndexPath::forRow(0, 1);
  return proposed;
}

void FoldersViewController::moveRow(ui::TableView&, const ui::IndexPath& from, const ui::IndexPath& to) {
  auto folder = folderAtIndexPath(from);
  auto* ctx = context();
  if (!folder || !ctx) return;
  ctx->processPendingChanges();
  userMove_ = true;
  NTData::moveFolder(*ctx, folder, static_cast<size_t>(to.row));
  ctx->processPendingChanges();
  userMove_ = false;
  NTData::saveContext(*ctx);
}

void FoldersViewController::commitEditingStyle(ui::TableView& table, ui::TableViewCellEditingStyle style,
                                               const ui::IndexPath& path) {
  if (style != ui::TableViewCellEditingStyle::Delete) return;
  auto folder = folderAtIndexPath(path);
  auto* ctx = context();
  if (!folder || !ctx) return;
  if (NTData::countTotalFolders(*ctx) < 2) {
    auto alert = ui::AlertController::make(localized("Can't delete last folder"), "", ui::AlertControllerStyle::Alert);
    alert->addAction(ui::AlertAction::make(kitLocalized("OK"), ui::AlertActionStyle::Default));
    auto weak = std::weak_ptr<FoldersViewController>(self());
    presentViewController(alert, true, [weak] {
      if (auto me = weak.lock()) me->setEditing(false, true);
    });
    return;
  }
  if (folder->countOfNotes() == 0) {
    if (auto* own = folder->managedObjectContext()) {
      NTData::deleteFolder(*own, folder);
      NTData::saveContext(*own);
    }
    return;
  }
  (void)table;
  confirmDeleteFolder(folder, path);
}

void FoldersViewController::confirmDeleteFolder(const std::shared_ptr<NTFolder>& folder, const ui::IndexPath& path) {
  size_t count = folder->countOfNotes();
  std::string name = folder->title().value_or("");
  std::string title = count == 1 ? ns::format(localized("1 note in folder \"%@\" will also be deleted"), name)
                                 : ns::format(localized("%1$@ notes in folder \"%2$@\" will also be deleted"),
                                              static_cast<long long>(count), name);
  auto sheet = ui::AlertController::make(title, localized("Are you sure?"), ui::AlertControllerStyle::ActionSheet);
  if (auto cell = tableView().cellForRow(path)) {
    sheet->popoverPresentationController()->setSourceView(cell);
    sheet->popoverPresentationController()->setSourceRect(cell->bounds());
  }
  std::weak_ptr<NTFolder> weakFolder = folder;
  sheet->addAction(ui::AlertAction::make(localized("Delete"), ui::AlertActionStyle::Destructive, [weakFolder](ui::AlertAction&) {
    auto doomed = weakFolder.lock();
    if (!doomed) return;
    if (auto* own = doomed->managedObjectContext()) {
      NTData::deleteFolder(*own, doomed);
      NTData::saveContext(*own);
    }
  }));
  sheet->addAction(ui::AlertAction::make(kitLocalized("Cancel"), ui::AlertActionStyle::Cancel));
  presentViewController(sheet, true);
}

void FoldersViewController::didSelectRow(ui::TableView& table, const ui::IndexPath& path) {
  if (!isEditing()) return;
  table.deselectRow(path, true);
  auto folder = folderAtIndexPath(path);
  if (!folder) return;  // All Notes keeps its name
  std::weak_ptr<NTFolder> weakFolder = folder;
  presentNameAlert(localized("Rename Folder"), localized("Enter a new name for this folder."), folder->title().value_or(""),
                   localized("The folder keeps its name: a folder needs a name that is more than spaces."),
                   [weakFolder](const std::string& name) {
                     auto renamed = weakFolder.lock();
                     if (!renamed) return;
                     renamed->setTitle(name);
                     if (auto* own = renamed->managedObjectContext()) NTData::saveContext(*own);
                   });
}

void FoldersViewController::addFolderClicked() {
  auto weak = std::weak_ptr<FoldersViewController>(self());
  presentNameAlert(localized("New Folder"), localized("Enter a name for this folder."), "",
                   localized("No folder was made: a folder needs a name that is more than spaces."),
                   [weak](const std::string& name) {
    auto me = weak.lock();
    auto* ctx = me ? me->context() : nullptr;
    if (!ctx) return;
    auto folder = NTData::insertNewFolderAtIndex(*ctx, 0);
    folder->setTitle(name);
    NTData::saveContext(*ctx);
    dispatch::Queue::main()->afterSeconds(0.5, [weak] {
      auto me = weak.lock();
      if (!me) return;
      auto cell = me->tableView().cellForRow(ui::IndexPath::forRow(0, 1));
      auto* nav = me->navigationController();
      TXKit::sharedInstance().showTipIfNeededWithID(
          "tipFirstFolderDefault", localized("First folder is the default one.\nTap \"Edit\" above to reorder folders."),
          cell.get(), nav ? nav->view().get() : nullptr, 0, true);
    });
  });
}

void FoldersViewController::presentNameAlert(const std::string& title, const std::string& message, const std::string& text,
                                             const std::string& whenEmpty, std::function<void(const std::string&)> save) {
  auto alert = ui::AlertController::make(title, message, ui::AlertControllerStyle::Alert);
  std::weak_ptr<ui::AlertController> weakAlert = alert;
  alert->addAction(ui::AlertAction::make(kitLocalized("Cancel"), ui::AlertActionStyle::Cancel));
  alert->addAction(ui::AlertAction::make(localized("Save"), ui::AlertActionStyle::Default,
                                         [weakAlert, save, whenEmpty](ui::AlertAction&) {
                                           auto shown = weakAlert.lock();
                                           if (!shown || shown->textFields().empty()) return;
                                           std::string name = shown->textFields()[0]->text();
                                           // A name of white space alone would make a blank row.
                                           if (!ns::trimmingWhitespaceAndNewlines(name).empty())
                                             save(name);
                                           else
                                             TXKit::presentTitle(localized("Empty Name"), whenEmpty);
                                         }));
  alert->addTextField([text](ui::TextField& field) {
    field.setPlaceholder(localized("Name"));
    field.setClearButtonMode(ui::TextFieldViewMode::Always);
    field.setAutocapitalizationType(ui::TextAutocapitalizationType::Words);
    field.setText(text);
  });
  auto tint = view()->tintColor();
  alert->view()->setTintColor(tint);
  presentViewController(alert, true, [weakAlert, tint] {
    if (auto shown = weakAlert.lock()) shown->view()->setTintColor(tint);
  });
}

// MARK: - Fetched-results changes

void FoldersViewController::controllerWillChangeContent(cd::FetchedResultsController&) {
  // A drag the table already shows, or no table yet: nothing to tell it.
  if (userMove_ || !isViewLoaded()) return;
  tableView().beginUpdates();
}

void FoldersViewController::controllerDidChangeSection(cd::FetchedResultsController&, const cd::FetchedResultsSectionInfo&,
                                                       size_t sectionIndex, cd::FetchedResultsChangeType type) {
  if (userMove_ || !isViewLoaded()) return;
  notes::applyFetchedSectionChange(tableView(), type, static_cast<int>(sectionIndex) + 1);
}

void FoldersViewController::controllerDidChangeObject(cd::FetchedResultsController&,
                                                      const std::shared_ptr<cd::ManagedObject>& object,
                                                      std::optional<ns::IndexPath> indexPath, cd::FetchedResultsChangeType type,
                                                      std::optional<ns::IndexPath> newIndexPath) {
  if (userMove_ || !isViewLoaded()) return;
  ui::TableView& table = tableView();
  auto reconfigure = [&](ui::TableViewCell& cell, const ui::IndexPath&) {
    auto* noteCell = dynamic_cast<NoteTableViewCell*>(&cell);
    if (noteCell) configureCell(*noteCell, std::dynamic_pointer_cast<NTFolder>(object));
  };
  notes::applyFetchedRowChange(table, type, indexPath, newIndexPath, toTable, reconfigure);
}

void FoldersViewController::controllerDidChangeContent(cd::FetchedResultsController&) {
  if (userMove_ || !isViewLoaded()) return;
  // The All Notes count follows every change.
  if (auto cell = std::dynamic_pointer_cast<NoteTableViewCell>(tableView().cellForRow(ui::IndexPath::forRow(0, 0)))) {
    configureCell(*cell, nullptr);
  }
  tableView().endUpdates();
}

// MARK: - Previews

std::shared_ptr<ui::ViewController> FoldersViewController::previewingViewController(ui::PreviewingContext& context,
                                                                                    ui::Point location) {
  auto path = tableView().indexPathForRowAtPoint(location);
  auto board = storyboard();
  if (!path || !board) return nullptr;
  auto cell = tableView().cellForRow(*path);
  if (cell) context.setSourceRect(cell->frame());
  auto notes = std::dynamic_pointer_cast<NotesViewController>(board->instantiateViewController("NotesViewController"));
  if (notes) notes->setFolder(folderAtIndexPath(*path));
  return notes;
}

void FoldersViewController::commitViewController(ui::PreviewingContext&, std::shared_ptr<ui::ViewController> controller) {
  showViewController(std::move(controller), this);
}
