#include "Notes/NTData.h"

#include <algorithm>
#include <cstdint>
#include <mutex>

#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/NTSettings.h"
#include "Platform/CoreData/PersistentStoreCoordinator.h"
#include "Platform/CoreData/Predicate.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/Range.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/Foundation/UserDefaults.h"

namespace NTData {
namespace {

using Op = cd::Predicate::Operator;

template <class T>
std::vector<std::shared_ptr<T>> fetch(cd::ManagedObjectContext& context, const char* entity,
                                      cd::PredicatePtr predicate, bool sorted, size_t batchSize = 0) {
  cd::FetchRequest request(entity);
  request.setPredicate(std::move(predicate));
  request.setFetchBatchSize(batchSize);
  if (sorted) request.setSortDescriptors({cd::SortDescriptor("displayOrder", true)});
  std::vector<std::shared_ptr<T>> out;
  if (auto objects = context.executeFetchRequest(request, nullptr))
    for (const auto& object : *objects)
      if (auto typed = std::dynamic_pointer_cast<T>(object)) out.push_back(std::move(typed));
  return out;
}

size_t count(cd::ManagedObjectContext& context, const char* entity) {
  return context.countForFetchRequest(cd::FetchRequest(entity), nullptr);
}

// The list a note is numbered in: its folder's notes, or the notes outside
// every folder. (All notes would renumber the folders' notes too.)
std::vector<std::shared_ptr<NTNote>> siblingNotes(cd::ManagedObjectContext& context,
                                                  const std::shared_ptr<NTFolder>& folder) {
  if (folder) return fetchSortedNotesInFolder(context, folder);
  return fetch<NTNote>(context, NTNote::kEntityName,
                       cd::Predicate::compare("folder", Op::EqualTo, std::shared_ptr<cd::ManagedObject>()), true);
}

template <class T>
void renumber(const std::vector<std::shared_ptr<T>>& objects) {
  for (size_t i = 0; i < objects.size(); ++i)
    if (objects[i]->displayOrder() != static_cast<int32_t>(i)) objects[i]->setDisplayOrder(static_cast<int32_t>(i));
}

template <class T>
void insertAt(std::vector<std::shared_ptr<T>>& list, size_t index, std::shared_ptr<T> object) {
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(std::min(index, list.size())), std::move(object));
}

template <class T>
void remove(std::vector<std::shared_ptr<T>>& list, const std::shared_ptr<T>& object) {
  list.erase(std::remove(list.begin(), list.end(), object), list.end());
}

bool isBlank(const std::optional<std::string>& text) {
  return !text || ns::trimmingWhitespaceAndNewlines(*text).empty();
}

}  // namespace

bool saveContext(cd::ManagedObjectContext& context, OnFailure onFailure) {
  bool saved = false;
  context.performAndWait([&] {
    if (!context.hasChanges()) return;
    ns::Error error;
    if (context.save(&error)) {
      saved = true;
      auto defaults = NTSettings::userDefaults();
      defaults->setObject(ns::Value(ns::Date::now()), NTSettings::kLastSaveDateKey);
      defaults->synchronize();
    } else {
      QB_REPORT(error);
      if (onFailure == OnFailure::KeepChanges)
        ns::NotificationCenter::defaultCenter().post(
          kSaveDidFailNotification, ns::unownedObject(&context),
          ns::Dictionary{{"domain", ns::Value(error.domain())},
                         {"code", ns::Value(error.code())},
                         {ns::kLocalizedDescriptionKey, ns::Value(error.localizedDescription())}});
    }
  });
  return saved;
}

namespace {

// The store's save count when the last walk left every order in place.
constexpr const char* kDisplayOrdersWalkedKey = "displayOrdersInPlaceAtSave";

std::mutex walkObserverMutex;
std::function<void()> walkObserver;

// Each store's save count; empty when one cannot be read.
std::vector<int64_t> saveCounts(const cd::PersistentStoreCoordinator& coordinator,
                                const std::vector<std::shared_ptr<cd::PersistentStore>>& stores) {
  std::lock_guard lock(coordinator.storeMutex());
  std::vector<int64_t> counts;
  for (const auto& store : stores) {
    const int64_t count = store->saveCount();
    if (count < 0) return {};
    counts.push_back(count);
  }
  return counts;
}

bool walkedAt(const cd::PersistentStoreCoordinator& coordinator,
              const std::vector<std::shared_ptr<cd::PersistentStore>>& stores, const std::vector<int64_t>& counts) {
  if (counts.empty()) return false;
  std::lock_guard lock(coordinator.storeMutex());
  for (size_t i = 0; i < stores.size(); ++i)
    if (stores[i]->metadataInteger(kDisplayOrdersWalkedKey) != counts[i]) return false;
  return true;
}

}  // namespace

void setDisplayOrderWalkObserver(std::function<void()> observer) {
  std::lock_guard lock(walkObserverMutex);
  walkObserver = std::move(observer);
}

void fixDisplayOrders(cd::ManagedObjectContext& context) {
  // The app walks at every activation, and a walk reads every note: the
  // store keeps the save count at which the last walk left every order in
  // place, and while no save came since, nothing is read.
  context.performAndWait([&] {
    auto coordinator = context.persistentStoreCoordinator();
    std::vector<std::shared_ptr<cd::PersistentStore>> stores;
    std::vector<int64_t> before;
    if (coordinator) {
      stores = coordinator->persistentStores();
      before = saveCounts(*coordinator, stores);
      if (!stores.empty() && !context.hasChanges() && walkedAt(*coordinator, stores, before)) return;
    }
    {
      std::lock_guard lock(walkObserverMutex);
      if (walkObserver) walkObserver();
    }
    bool changed = false;
    auto folders = fetchSortedFolders(context);
    for (size_t i = 0; i < folders.size(); ++i) {
      auto notes = fetchSortedNotesInFolder(context, folders[i]);
      for (size_t j = 0; j < notes.size(); ++j) {
        if (notes[j]->displayOrder() != static_cast<int32_t>(j)) {
          notes[j]->setDisplayOrder(static_cast<int32_t>(j));
          changed = true;
        }
      }
      if (folders[i]->displayOrder() != static_cast<int32_t>(i)) {
        folders[i]->setDisplayOrder(static_cast<int32_t>(i));
        changed = true;
      }
    }
    bool saved = false;
    if (changed) {
      QB_REPORT(kFixDisplayOrdersMessage);
      saved = saveContext(context);
    }
    if (!coordinator || stores.empty() || before.empty() || context.hasChanges()) return;
    // Marked only when the counts show that no save but the walk's own came
    // between (one each at most): another might have changed an order. The
    // lock keeps any other save out until the mark is written.
    std::lock_guard lock(coordinator->storeMutex());
    const std::vector<int64_t> after = saveCounts(*coordinator, stores);
    if (after.size() != before.size()) return;
    bool untouched = true;
    for (size_t i = 0; i < after.size(); ++i)
      untouched = untouched && (after[i] == before[i] || (saved && after[i] == before[i] + 1));
    if (!untouched) return;
    for (size_t i = 0; i < stores.size(); ++i) stores[i]->setMetadataInteger(kDisplayOrdersWalkedKey, after[i], nullptr);
  });
}

void fixDisplayOrders(const std::vector<std::shared_ptr<NTNote>>& objects) { renumber(objects); }
void fixDisplayOrders(const std::vector<std::shared_ptr<NTFolder>>& objects) { renumber(objects); }

std::shared_ptr<NTFolder> defaultFolder(cd::ManagedObjectContext& context) {
  auto folders = fetchSortedFolders(context);
  return folders.empty() ? nullptr : folders.front();
}

std::shared_ptr<NTFolder> folderNamed(cd::ManagedObjectContext& context, const std::string& title) {
  auto folders = fetch<NTFolder>(context, NTFolder::kEntityName,
                                 cd::Predicate::compare("title", Op::EqualTo, ns::Value(title)), false);
  return folders.empty() ? nullptr : folders.front();
}

std::vector<std::shared_ptr<NTFolder>> fetchSortedFolders(cd::ManagedObjectContext& context) {
  return fetch<NTFolder>(context, NTFolder::kEntityName, nullptr, true);
}

std::vector<std::shared_ptr<NTNote>> fetchSortedNotesInFolder(cd::ManagedObjectContext& context,
                                                             const std::shared_ptr<NTFolder>& folder,
                                                             size_t batchSize) {
  cd::PredicatePtr predicate;
  if (folder) predicate = cd::Predicate::compare("folder", Op::EqualTo, std::shared_ptr<cd::ManagedObject>(folder));
  return fetch<NTNote>(context, NTNote::kEntityName, std::move(predicate), true, batchSize);
}

size_t countTotalFolders(cd::ManagedObjectContext& context) { return count(context, NTFolder::kEntityName); }
size_t countTotalNotes(cd::ManagedObjectContext& context) { return count(context, NTNote::kEntityName); }

std::shared_ptr<NTFolder> insertNewFolderAtIndex(cd::ManagedObjectContext& context, size_t index) {
  auto folders = fetchSortedFolders(context);
  auto folder = context.insertNewObject<NTFolder>(NTFolder::kEntityName);
  insertAt(folders, index, folder);
  renumber(folders);
  return folder;
}

void moveFolder(cd::ManagedObjectContext& context, const std::shared_ptr<NTFolder>& folder, size_t index) {
  if (!folder) return;
  auto folders = fetchSortedFolders(context);
  remove(folders, folder);
  insertAt(folders, index, folder);
  renumber(folders);
}

void deleteFolder(cd::ManagedObjectContext& context, const std::shared_ptr<NTFolder>& folder) {
  if (!folder) return;
  context.deleteObject(folder);
  renumber(fetchSortedFolders(context));
}

std::shared_ptr<NTNote> insertNewNoteAtIndex(cd::ManagedObjectContext& context, size_t index,
                                             std::shared_ptr<NTFolder> folder) {
  if (!folder) folder = defaultFolder(context);
  auto notes = siblingNotes(context, folder);
  auto note = context.insertNewObject<NTNote>(NTNote::kEntityName);
  note->setFolder(folder);
  note->setText(nullptr);
  insertAt(notes, index, note);
  renumber(notes);
  return note;
}

void moveNote(cd::ManagedObjectContext& context, const std::shared_ptr<NTNote>& note, size_t index,
              std::shared_ptr<NTFolder> folder) {
  if (!note) return;
  std::shared_ptr<NTFolder> source = note->folder();
  if (!folder) folder = source;
  auto rest = siblingNotes(context, source);
  remove(rest, note);
  renumber(rest);
  // Out of every list first, so the note is inserted once even when the
  // folder stays the same.
  note->setFolder(nullptr);
  auto target = siblingNotes(context, folder);
  remove(target, note);
  note->setFolder(folder);
  insertAt(target, index, note);
  renumber(target);
}

void deleteNote(cd::ManagedObjectContext& context, const std::shared_ptr<NTNote>& note) {
  if (!note) return;
  std::shared_ptr<NTFolder> folder = note->folder();
  context.deleteObject(note);
  renumber(siblingNotes(context, folder));
}

void deleteEmptyNotes(cd::ManagedObjectContext& context) {
  // Text of only white space and line breaks counts as empty, as its
  // title ("New Note") already says. Setting a note's text sets its
  // title, so the store hands over only notes without a title or with
  // that one, through the title's index: a launch reads no other note.
  auto candidates = fetch<NTNote>(
      context, NTNote::kEntityName,
      cd::Predicate::andPredicate(
          {cd::Predicate::compare("displayOrder", Op::GreaterThanOrEqualTo, ns::Value(0)),
           cd::Predicate::orPredicate({cd::Predicate::compare("title", Op::EqualTo, nullptr),
                                       cd::Predicate::compare("title", Op::EqualTo,
                                                              ns::Value(NTNote::titleFromNoteText(nullptr)))})}),
      true);
  std::vector<std::shared_ptr<NTNote>> empty;
  for (const auto& note : candidates)
    if (isBlank(note->string())) empty.push_back(note);
  if (empty.empty()) return;
  for (const auto& note : empty) deleteNote(context, note);
  saveContext(context);
}

}  // namespace NTData
