#include "Platform/CoreData/FetchedResultsController.h"

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "Platform/CoreData/KeyPath.h"
#include "Platform/CoreData/ManagedObjectContext.h"
#include "Platform/CoreData/ObjectSorting.h"
#include "Platform/CoreData/PersistentStoreCoordinator.h"

namespace cd {

namespace {

// Positions (into `sequence`) of one longest strictly increasing subsequence.
std::vector<bool> longestIncreasing(const std::vector<size_t>& sequence) {
  std::vector<size_t> tails;     // index into sequence of the smallest tail per length
  std::vector<long> previous(sequence.size(), -1);
  for (size_t i = 0; i < sequence.size(); ++i) {
    auto it = std::lower_bound(tails.begin(), tails.end(), sequence[i],
                               [&](size_t t, size_t value) { return sequence[t] < value; });
    size_t length = static_cast<size_t>(it - tails.begin());
    if (length > 0) previous[i] = static_cast<long>(tails[length - 1]);
    if (it == tails.end()) {
      tails.push_back(i);
    } else {
      *it = i;
    }
  }
  std::vector<bool> inSequence(sequence.size(), false);
  long i = tails.empty() ? -1 : static_cast<long>(tails.back());
  while (i >= 0) {
    inSequence[static_cast<size_t>(i)] = true;
    i = previous[static_cast<size_t>(i)];
  }
  return inSequence;
}

}  // namespace

FetchedResultsController::FetchedResultsController(FetchRequest fetchRequest,
                                                   std::shared_ptr<ManagedObjectContext> context,
                                                   std::string sectionNameKeyPath, std::string cacheName)
    : request_(std::move(fetchRequest)),
      context_(std::move(context)),
      sectionNameKeyPath_(std::move(sectionNameKeyPath)),
      cacheName_(std::move(cacheName)) {
  if (!context_) throw ns::Exception(ns::kInvalidArgumentException, "a fetched-results controller needs a context");
  context_->addChangeObserver(this);
}

FetchedResultsController::~FetchedResultsController() { context_->removeChangeObserver(this); }

bool FetchedResultsController::performFetch(ns::Error* error) {
  auto result = context_->executeFetchRequest(request_, error);
  if (!result) return false;
  fetched_ = true;
  rebuildSections(std::move(*result));
  return true;
}

std::string FetchedResultsController::sectionName(const ManagedObject& object) const {
  if (sectionNameKeyPath_.empty()) return {};
  KeyPathValue v = KeyPath(object.entity(), sectionNameKeyPath_).evaluate(object);
  if (v.isObject) return v.object ? v.object->objectID().URIRepresentation() : std::string();
  if (v.value.isNull()) return {};
  if (v.value.isDate()) return v.value.asDate()->description();
  return v.value.stringValue();
}

void FetchedResultsController::rebuildSections(std::vector<std::shared_ptr<ManagedObject>> objects) {
  sections_.clear();
  if (sectionNameKeyPath_.empty()) {
    sections_.emplace_back();
    sections_.back().objects_ = objects;
    objects_ = std::move(objects);
    // No section key: one section, even when empty.
    return;
  }
  std::unordered_map<std::string, size_t> index;
  for (auto& o : objects) {
    std::string name = sectionName(*o);
    auto [it, added] = index.try_emplace(name, sections_.size());
    if (added) {
      sections_.emplace_back();
      sections_.back().name_ = name;
      sections_.back().indexTitle_ = name.substr(0, 1);
    }
    sections_[it->second].objects_.push_back(o);
  }
  objects_.clear();
  for (const auto& s : sections_) objects_.insert(objects_.end(), s.objects_.begin(), s.objects_.end());
}

std::shared_ptr<ManagedObject> FetchedResultsController::objectAtIndexPath(const ns::IndexPath& indexPath) const {
  if (indexPath.section >= sections_.size() || indexPath.row >= sections_[indexPath.section].objects_.size()) {
    throw ns::Exception(ns::kRangeException, "no object at index path (" + std::to_string(indexPath.section) + ", " +
                                                 std::to_string(indexPath.row) + ")");
  }
  return sections_[indexPath.section].objects_[indexPath.row];
}

std::optional<ns::IndexPath> FetchedResultsController::indexPathForObject(const ManagedObject* object) const {
  if (!object) return std::nullopt;
  for (size_t s = 0; s < sections_.size(); ++s) {
    const auto& list = sections_[s].objects_;
    for (size_t r = 0; r < list.size(); ++r) {
      if (list[r].get() == object) return ns::IndexPath{s, r};
    }
  }
  return std::nullopt;
}

std::vector<ManagedObject*> FetchedResultsController::resorted(
    const EntityDescription& entity, const std::unordered_set<const ManagedObject*>& deleted,
    const std::unordered_set<const ManagedObject*>& updated, const std::vector<std::shared_ptr<ManagedObject>>& added,
    const std::function<bool(const ManagedObject&)>& matches) const {
  const auto& descriptors = request_.sortDescriptors();
  bool plainKeys = !descriptors.empty();
  for (const auto& d : descriptors) plainKeys = plainKeys && entity.attributeIndex(d.key()).has_value();
  if (!plainKeys) {
    std::vector<ManagedObject*> list;
    for (const auto& o : objects_) {
      if (deleted.count(o.get())) continue;
      if (updated.count(o.get()) && !matches(*o)) continue;
      list.push_back(o.get());
    }
    for (const auto& o : added) list.push_back(o.get());
    cd::sortObjects(list, entity, descriptors);
    return list;
  }
  // The order is that of a stable sort of [survivors in their old order,
  // then arrivals]: by the keys, then by that rank. Objects that did not
  // change keep their keys (which are their own attributes), so they stay
  // in order among themselves; only the changed ones and the arrivals are
  // placed, each by a binary search. The rest are never read, so a long
  // list's faults stay faults.
  std::vector<KeyPath> paths;
  for (const auto& d : descriptors) paths.emplace_back(entity, d.key());
  struct Entry {
    ManagedObject* object;
    size_t rank;
    std::vector<KeyPathValue> keys;  // read only for entries that are compared
  };
  auto keysOf = [&](ManagedObject* o) {
    std::vector<KeyPathValue> keys;
    for (const auto& p : paths) keys.push_back(p.evaluate(*o));
    return keys;
  };
  auto before = [&](const std::vector<KeyPathValue>& a, size_t rankA, const std::vector<KeyPathValue>& b,
                    size_t rankB) {
    for (size_t k = 0; k < descriptors.size(); ++k) {
      int c = descriptors[k].compare(a[k], b[k]);
      if (c != 0) return c < 0;
    }
    return rankA < rankB;
  };
  std::vector<ManagedObject*> kept;
  std::vector<size_t> keptRank;
  std::vector<Entry> placed;
  for (size_t i = 0; i < objects_.size(); ++i) {
    ManagedObject* o = objects_[i].get();
    if (deleted.count(o)) continue;
    if (updated.count(o)) {
      if (matches(*o)) placed.push_back({o, i, keysOf(o)});
      continue;
    }
    kept.push_back(o);
    keptRank.push_back(i);
  }
  for (size_t i = 0; i < added.size(); ++i) placed.push_back({added[i].get(), objects_.size() + i, keysOf(added[i].get())});
  std::sort(placed.begin(), placed.end(),
            [&](const Entry& a, const Entry& b) { return before(a.keys, a.rank, b.keys, b.rank); });
  std::vector<ManagedObject*> list;
  list.reserve(kept.size() + placed.size());
  size_t from = 0;
  for (const Entry& p : placed) {
    // The first kept object that sorts after p, at or beyond `from`.
    size_t lo = from, hi = kept.size();
    while (lo < hi) {
      size_t mid = lo + (hi - lo) / 2;
      if (before(keysOf(kept[mid]), keptRank[mid], p.keys, p.rank)) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    list.insert(list.end(), kept.begin() + static_cast<std::ptrdiff_t>(from), kept.begin() + static_cast<std::ptrdiff_t>(lo));
    list.push_back(p.object);
    from = lo;
  }
  list.insert(list.end(), kept.begin() + static_cast<std::ptrdiff_t>(from), kept.end());
  return list;
}

void FetchedResultsController::contextObjectsDidChange(const ObjectChanges& changes) {
  if (!fetched_) return;
  const EntityDescription* entity =
      context_->persistentStoreCoordinator()->managedObjectModel()->entity(request_.entityName());
  const Predicate* predicate = request_.predicate().get();
  auto matches = [&](const ManagedObject& o) {
    return &o.entity() == entity && !o.isDeleted() && o.managedObjectContext() == context_.get() &&
           (!predicate || predicate->evaluate(o));
  };

  std::unordered_set<const ManagedObject*> members;
  for (const auto& o : objects_) members.insert(o.get());
  std::unordered_set<const ManagedObject*> deleted;
  for (const auto& o : changes.deleted) {
    if (members.count(o.get())) deleted.insert(o.get());
  }
  std::unordered_set<const ManagedObject*> updated;
  bool affected = !deleted.empty();
  std::vector<std::shared_ptr<ManagedObject>> added;
  for (const auto* list : {&changes.inserted, &changes.updated}) {
    for (const auto& o : *list) {
      if (members.count(o.get())) {
        updated.insert(o.get());
        affected = true;
      } else if (matches(*o)) {
        added.push_back(o);
        members.insert(o.get());
        affected = true;
      }
    }
  }
  if (!affected) return;

  // Old positions.
  std::vector<FetchedResultsSectionInfo> oldSections = sections_;
  std::unordered_map<const ManagedObject*, std::pair<ns::IndexPath, size_t>> oldPlace;  // path, flat index
  {
    size_t flat = 0;
    for (size_t s = 0; s < oldSections.size(); ++s) {
      for (size_t r = 0; r < oldSections[s].objects_.size(); ++r) {
        oldPlace[oldSections[s].objects_[r].get()] = {ns::IndexPath{s, r}, flat++};
      }
    }
  }

  // New contents: survivors, then arrivals, sorted.
  std::vector<ManagedObject*> list = resorted(*entity, deleted, updated, added, matches);
  std::vector<std::shared_ptr<ManagedObject>> next;
  next.reserve(list.size());
  for (ManagedObject* o : list) next.push_back(o->shared_from_this());
  // Keep the removed objects alive until the delegate has heard of them.
  std::vector<std::shared_ptr<ManagedObject>> previous = objects_;
  rebuildSections(std::move(next));

  auto delegate = delegate_.lock();
  if (!delegate) return;
  delegate->controllerWillChangeContent(*this);

  if (!sectionNameKeyPath_.empty()) {
    std::unordered_set<std::string> oldNames, newNames;
    for (const auto& s : oldSections) oldNames.insert(s.name_);
    for (const auto& s : sections_) newNames.insert(s.name_);
    for (size_t s = 0; s < oldSections.size(); ++s) {
      if (!newNames.count(oldSections[s].name_)) {
        delegate->controllerDidChangeSection(*this, oldSections[s], s, FetchedResultsChangeType::Delete);
      }
    }
    for (size_t s = 0; s < sections_.size(); ++s) {
      if (!oldNames.count(sections_[s].name_)) {
        delegate->controllerDidChangeSection(*this, sections_[s], s, FetchedResultsChangeType::Insert);
      }
    }
  }

  // Objects that stay: those out of the longest run in old order moved, as
  // did those that changed section.
  std::vector<std::pair<std::shared_ptr<ManagedObject>, ns::IndexPath>> staying;  // with new path
  std::vector<size_t> oldFlat;
  for (size_t s = 0; s < sections_.size(); ++s) {
    for (size_t r = 0; r < sections_[s].objects_.size(); ++r) {
      const auto& o = sections_[s].objects_[r];
      auto it = oldPlace.find(o.get());
      if (it == oldPlace.end()) continue;
      staying.emplace_back(o, ns::IndexPath{s, r});
      oldFlat.push_back(it->second.second);
    }
  }
  std::vector<bool> inOrder = longestIncreasing(oldFlat);

  std::unordered_set<const ManagedObject*> present;
  for (const auto& o : objects_) present.insert(o.get());
  for (const auto& o : previous) {
    if (!present.count(o.get())) {
      delegate->controllerDidChangeObject(*this, o, oldPlace[o.get()].first, FetchedResultsChangeType::Delete,
                                          std::nullopt);
    }
  }
  for (size_t s = 0; s < sections_.size(); ++s) {
    for (size_t r = 0; r < sections_[s].objects_.size(); ++r) {
      const auto& o = sections_[s].objects_[r];
      if (!oldPlace.count(o.get())) {
        delegate->controllerDidChangeObject(*this, o, std::nullopt, FetchedResultsChangeType::Insert,
                                            ns::IndexPath{s, r});
      }
    }
  }
  std::vector<size_t> updates;
  for (size_t i = 0; i < staying.size(); ++i) {
    const auto& [o, newPath] = staying[i];
    const ns::IndexPath oldPath = oldPlace[o.get()].first;
    bool sectionChanged = oldSections[oldPath.section].name_ != sections_[newPath.section].name_;
    if (!inOrder[i] || sectionChanged) {
      delegate->controllerDidChangeObject(*this, o, oldPath, FetchedResultsChangeType::Move, newPath);
    } else if (updated.count(o.get())) {
      updates.push_back(i);
    }
  }
  for (size_t i : updates) {
    const auto& [o, newPath] = staying[i];
    delegate->controllerDidChangeObject(*this, o, oldPlace[o.get()].first, FetchedResultsChangeType::Update, newPath);
  }
  delegate->controllerDidChangeContent(*this);
}

}  // namespace cd
