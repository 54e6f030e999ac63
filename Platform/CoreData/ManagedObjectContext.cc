#include "Platform/CoreData/ManagedObjectContext.h"

#include <algorithm>
#include <unordered_map>

#include "Platform/CoreData/CoreDataErrors.h"
#include "Platform/CoreData/KeyPath.h"
#include "Platform/CoreData/ObjectSorting.h"
#include "Platform/CoreData/PersistentStore.h"
#include "Platform/CoreData/PersistentStoreCoordinator.h"
#include "Platform/CoreData/Predicate.h"
#include "Platform/CoreData/StoreRow.h"
#include "Platform/CoreData/ValueTransformer.h"
#include "Platform/Dispatch/MainThread.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/Range.h"

namespace cd {

namespace {

ns::Error contextError(int64_t code, const std::string& text) {
  return ns::Error::withDescription(ns::kCocoaErrorDomain, code, text);
}

template <class T>
void eraseObject(std::vector<std::shared_ptr<T>>& list, const ManagedObject* object) {
  auto it = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == object; });
  if (it != list.end()) list.erase(it);
}

std::string quotedColumn(const std::string& name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

}  // namespace

ManagedObjectContext::ManagedObjectContext(ConcurrencyType type) : type_(type) {
  if (type_ == ConcurrencyType::PrivateQueue) privateQueue_ = dispatch::Queue::serial("cd.context");
}

ManagedObjectContext::~ManagedObjectContext() {
  registry_.forEach([](ManagedObject* object) {
    object->context_ = nullptr;
    std::fill(object->toOne_.begin(), object->toOne_.end(), nullptr);
    for (auto& set : object->toMany_) set.clear();
  });
  for (auto& object : deleted_) object->context_ = nullptr;
  for (auto& object : inserted_) object->context_ = nullptr;
}

void ManagedObjectContext::setPersistentStoreCoordinator(std::shared_ptr<PersistentStoreCoordinator> coordinator) {
  coordinator_ = std::move(coordinator);
  if (coordinator_) coordinator_->registerContext(weak_from_this());
}

std::shared_ptr<dispatch::Queue> ManagedObjectContext::queue() const {
  if (type_ == ConcurrencyType::MainQueue) return dispatch::Queue::main();
  return privateQueue_;
}

bool ManagedObjectContext::isOnQueue() const {
  if (type_ == ConcurrencyType::MainQueue) return dispatch::isMainThread();
  return privateQueue_->isCurrent();
}

void ManagedObjectContext::perform(std::function<void()> block) { queue()->async(std::move(block)); }

void ManagedObjectContext::performAndWait(const std::function<void()>& block) {
  if (isOnQueue()) {
    block();
  } else {
    queue()->sync(block);
  }
}

// --- Registration and change tracking ---

std::shared_ptr<ManagedObject> ManagedObjectContext::insertNewObject(const std::string& entityName) {
  if (!coordinator_) {
    throw ns::Exception(ns::kInternalInconsistencyException, "the context has no persistent store coordinator");
  }
  const EntityDescription* entity = coordinator_->managedObjectModel()->entity(entityName);
  if (!entity) throw ns::Exception(ns::kInvalidArgumentException, "no entity named " + entityName);
  std::shared_ptr<ManagedObject> object = entity->makeObject();
  object->setUp(entity, this, ManagedObjectID::temporary(entity), false);
  object->inserted_ = true;
  for (auto& set : object->toMany_) set.loaded = true;
  for (size_t i = 0; i < entity->attributes().size(); ++i) {
    // Values start as nil: only a real default is copied in.
    const ns::Value& initial = entity->attributes()[i].defaultValue;
    if (!initial.isNull()) object->attributes_[i].value = initial;
    object->attributes_[i].decoded = true;
  }
  // New objects join the registry under their permanent ID when saved.
  inserted_.push_back(object);
  notePendingInsert(object.get());
  return object;
}

void ManagedObjectContext::notePendingInsert(ManagedObject* object) {
  if (object->pendingInserted_) return;
  object->pendingInserted_ = true;
  pendingInserted_.push_back(object->shared_from_this());
}

void ManagedObjectContext::notePendingUpdate(ManagedObject* object) {
  if (object->pendingInserted_ || object->pendingUpdated_) return;
  object->pendingUpdated_ = true;
  pendingUpdated_.push_back(object->shared_from_this());
}

void ManagedObjectContext::notePendingDelete(ManagedObject* object) {
  object->pendingUpdated_ = false;
  if (object->pendingInserted_) {
    // Observers never saw it: nothing to report.
    object->pendingInserted_ = false;
    return;
  }
  pendingDeleted_.push_back(object->shared_from_this());
}

void ManagedObjectContext::objectDidChange(ManagedObject* object) {
  if (object->deleted_) return;
  if (!object->inserted_ && !object->updated_) {
    object->updated_ = true;
    updated_.push_back(object->shared_from_this());
  }
  notePendingUpdate(object);
}

void ManagedObjectContext::removeFromChangeLists(ManagedObject* object) {
  if (object->inserted_) {
    object->inserted_ = false;
    eraseObject(inserted_, object);
  }
  if (object->updated_) {
    object->updated_ = false;
    eraseObject(updated_, object);
  }
}

void ManagedObjectContext::deleteObject(const std::shared_ptr<ManagedObject>& object) {
  if (!object || object->context_ != this || object->deleted_) return;
  deleteWithRules(object.get());
}

void ManagedObjectContext::deleteWithRules(ManagedObject* object) {
  object->fireFault();
  // Related objects are found while the object still counts as alive.
  for (size_t r = 0; r < object->entity_->relationships().size(); ++r) {
    if (object->entity_->relationships()[r].toMany) object->loadedToMany(r);
  }
  std::shared_ptr<ManagedObject> keep = object->shared_from_this();
  bool wasInserted = object->inserted_;
  removeFromChangeLists(object);
  object->deleted_ = true;
  notePendingDelete(object);

  const EntityDescription& entity = *object->entity_;
  for (size_t r = 0; r < entity.relationships().size(); ++r) {
    const RelationshipDescription& rel = entity.relationships()[r];
    std::vector<ManagedObject*> targets;
    if (rel.toMany) {
      targets = object->loadedToMany(r).members();
    } else if (object->toOne_[r]) {
      targets.push_back(object->toOne_[r]);
    }
    const RelationshipDescription& inverse = rel.destination->relationships()[rel.inverseIndex];
    for (ManagedObject* target : targets) {
      if (target->deleted_) continue;
      if (rel.deleteRule == DeleteRule::Cascade) {
        deleteWithRules(target);
        continue;
      }
      target->fireFault();
      if (inverse.toMany) {
        target->unlinkToMany(rel.inverseIndex, object, true);
      } else if (target->toOne_[rel.inverseIndex] == object) {
        target->toOne_[rel.inverseIndex] = nullptr;
        target->markChanged(target->entity_->attributes().size() + rel.inverseIndex);
      }
    }
  }
  if (wasInserted) {
    // Never saved: it simply leaves the context.
    object->deleted_ = false;
    forgetObject(object);
  } else {
    deleted_.push_back(keep);
  }
}

void ManagedObjectContext::detachFromRelated(ManagedObject* object) {
  const EntityDescription& entity = *object->entity_;
  for (size_t r = 0; r < entity.relationships().size(); ++r) {
    const RelationshipDescription& rel = entity.relationships()[r];
    const RelationshipDescription& inverse = rel.destination->relationships()[rel.inverseIndex];
    std::vector<ManagedObject*> targets =
        rel.toMany ? object->toMany_[r].members()
                   : (object->toOne_[r] ? std::vector<ManagedObject*>{object->toOne_[r]} : std::vector<ManagedObject*>{});
    for (ManagedObject* target : targets) {
      if (inverse.toMany) {
        target->toMany_[rel.inverseIndex].remove(object);
      } else if (target->toOne_[rel.inverseIndex] == object) {
        target->toOne_[rel.inverseIndex] = nullptr;
      }
    }
  }
}

void ManagedObjectContext::forgetObject(ManagedObject* object) {
  std::shared_ptr<ManagedObject> keep = object->shared_from_this();
  detachFromRelated(object);
  if (!object->id_.isTemporaryID()) registry_.erase(object->id_);
  object->context_ = nullptr;
  object->pendingInserted_ = false;
  object->pendingUpdated_ = false;
  std::fill(object->toOne_.begin(), object->toOne_.end(), nullptr);
  for (auto& set : object->toMany_) set.clear();
}

bool ManagedObjectContext::hasChanges() const {
  return !inserted_.empty() || !updated_.empty() || !deleted_.empty();
}

std::vector<std::shared_ptr<ManagedObject>> ManagedObjectContext::insertedObjects() const { return inserted_; }
std::vector<std::shared_ptr<ManagedObject>> ManagedObjectContext::updatedObjects() const { return updated_; }
std::vector<std::shared_ptr<ManagedObject>> ManagedObjectContext::deletedObjects() const { return deleted_; }

void ManagedObjectContext::addChangeObserver(ContextChangeObserver* observer) { observers_.push_back(observer); }

void ManagedObjectContext::removeChangeObserver(ContextChangeObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void ManagedObjectContext::processPendingChanges() {
  if (processing_) return;
  if (observers_.empty()) {
    // Nobody to tell: only forget what was pending.
    for (auto& o : pendingInserted_) o->pendingInserted_ = false;
    for (auto& o : pendingUpdated_) o->pendingUpdated_ = false;
    pendingInserted_.clear();
    pendingUpdated_.clear();
    pendingDeleted_.clear();
    return;
  }
  ObjectChanges changes;
  for (auto& o : pendingInserted_) {
    if (o->pendingInserted_) changes.inserted.push_back(o);
    o->pendingInserted_ = false;
  }
  for (auto& o : pendingUpdated_) {
    if (o->pendingUpdated_) changes.updated.push_back(o);
    o->pendingUpdated_ = false;
  }
  changes.deleted = std::move(pendingDeleted_);
  pendingInserted_.clear();
  pendingUpdated_.clear();
  pendingDeleted_.clear();
  if (changes.empty()) return;
  processing_ = true;
  std::vector<ContextChangeObserver*> observers = observers_;
  for (ContextChangeObserver* observer : observers) {
    // An observer removed by an earlier one is not called.
    if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) {
      observer->contextObjectsDidChange(changes);
    }
  }
  processing_ = false;
}

// --- Loading ---

std::shared_ptr<ManagedObject> ManagedObjectContext::registered(const ManagedObjectID& id) const {
  if (id.isTemporaryID()) {
    for (const auto& o : inserted_) {
      if (o->id_ == id) return o;
    }
    return nullptr;
  }
  ManagedObject* object = registry_.find(id);
  return object ? object->shared_from_this() : nullptr;
}

void ManagedObjectContext::growRegistryFor(size_t more) {
  registry_.reserve(registry_.size() + more);
}

ManagedObject* ManagedObjectContext::registeredOrFault(const EntityDescription& entity, const std::string* store,
                                                       int64_t key) {
  ManagedObjectID id = ManagedObjectID::permanent(&entity, store, key);
  auto [slot, inserted] = registry_.findOrAdd(id);
  if (inserted) {
    *slot = entity.makeObject();
    (*slot)->setUp(&entity, this, id, true);
  }
  return slot->get();
}

template <class ValueAt>
void ManagedObjectContext::applyValues(ManagedObject* object, const ValueAt& valueAt, bool keepChanged) {
  const EntityDescription& entity = *object->entity_;
  const size_t attributeCount = entity.attributes().size();
  object->fault_ = false;
  object->missing_ = false;
  for (size_t i = 0; i < attributeCount; ++i) {
    if (keepChanged && object->changed_.test(i)) continue;
    ManagedObject::Attribute& a = object->attributes_[i];
    a.value = valueAt(i);
    if (entity.attributes()[i].type == AttributeType::Transformable) {
      a.decoded = false;
      a.object.reset();
    }
  }
  const std::string* store = object->id_.internedStoreIdentifier();
  for (size_t r = 0; r < entity.relationships().size(); ++r) {
    const RelationshipDescription& rel = entity.relationships()[r];
    if (rel.toMany || (keepChanged && object->changed_.test(attributeCount + r))) continue;
    const ns::Value key = valueAt(attributeCount + r);
    ManagedObject* target = key.isNull() || !store ? nullptr : registeredOrFault(*rel.destination, store, key.integerValue());
    if (target && target->deleted_) target = nullptr;
    object->setToOne(r, target, false);
  }
}

void ManagedObjectContext::applyRow(ManagedObject* object, StoreRow& row, bool keepChanged) {
  applyValues(object, [&row](size_t i) { return std::move(row.values[i]); }, keepChanged);
}

ManagedObject* ManagedObjectContext::materialize(const EntityDescription& entity, const std::string* store,
                                                 StoreRow& row) {
  ManagedObject* object = registeredOrFault(entity, store, row.key);
  if (object->fault_) applyRow(object, row, false);
  return object;
}

// The same, reading the values straight from the store into the object.
ManagedObject* ManagedObjectContext::materialize(const EntityDescription& entity, const std::string* store,
                                                 const StoreRowReader& row) {
  ManagedObject* object = registeredOrFault(entity, store, row.key());
  if (object->fault_) applyValues(object, [&row](size_t i) { return row.value(i); }, false);
  return object;
}

bool ManagedObjectContext::fulfillFault(ManagedObject* object) {
  if (!object->fault_) return !object->missing_;
  if (object->faultBatch_) return fulfillFaultBatch(object);
  object->fault_ = false;
  bool found = false;
  StoreRow row;
  if (coordinator_) {
    std::lock_guard<std::recursive_mutex> lock(coordinator_->storeMutex());
    auto store = coordinator_->storeWithIdentifier(object->id_.storeIdentifier());
    if (store) store->fetchRow(*object->entity_, object->id_.primaryKey(), &row, &found, nullptr);
  }
  if (!found) {
    // The row is gone (deleted elsewhere): the object reads as empty.
    object->missing_ = true;
    return false;
  }
  applyRow(object, row, false);
  return true;
}

bool ManagedObjectContext::fulfillFaultBatch(ManagedObject* object) {
  const auto batch = std::move(object->faultBatch_);
  // The batch's objects still waiting for it (another fetch may have taken
  // one into a batch of its own since), read in one go.
  std::vector<std::shared_ptr<ManagedObject>> members;
  std::vector<int64_t> keys;
  std::unordered_map<int64_t, ManagedObject*> byKey;
  members.reserve(batch->size());
  keys.reserve(batch->size());
  for (const auto& weak : *batch) {
    auto member = weak.lock();
    if (!member) continue;
    if (member.get() != object && (member->faultBatch_ != batch || !member->fault_ || member->context_ != this)) continue;
    member->faultBatch_.reset();
    member->fault_ = false;
    keys.push_back(member->id_.primaryKey());
    byKey.emplace(member->id_.primaryKey(), member.get());
    members.push_back(std::move(member));
  }
  std::vector<StoreRow> rows;
  if (coordinator_) {
    std::lock_guard<std::recursive_mutex> lock(coordinator_->storeMutex());
    auto store = coordinator_->storeWithIdentifier(object->id_.storeIdentifier());
    if (store) {
      store->fetchRowsWithKeys(*object->entity_, keys, [&](StoreRow& row) { rows.push_back(std::move(row)); },
                               nullptr);
    }
  }
  for (const auto& member : members) member->missing_ = true;
  for (StoreRow& row : rows) {
    auto it = byKey.find(row.key);
    if (it == byKey.end()) continue;
    applyRow(it->second, row, false);
  }
  return !object->missing_;
}

void ManagedObjectContext::loadToMany(ManagedObject* object, size_t relationship) {
  ManagedObject::ToMany& set = object->toMany_[relationship];
  set.clear();
  set.loaded = true;
  const RelationshipDescription& rel = object->entity_->relationships()[relationship];
  const EntityDescription& destination = *rel.destination;
  const size_t inverse = rel.inverseIndex;
  if (!object->id_.isTemporaryID() && coordinator_) {
    std::vector<StoreRow> rows;
    std::shared_ptr<PersistentStore> store;
    {
      std::lock_guard<std::recursive_mutex> lock(coordinator_->storeMutex());
      store = coordinator_->storeWithIdentifier(object->id_.storeIdentifier());
      if (store) {
        StoreFilter filter;
        filter.where = quotedColumn(destination.relationships()[inverse].name) + " = ?";
        filter.bindings.push_back(ns::Value(object->id_.primaryKey()));
        store->fetchRows(destination, filter, &rows, nullptr);
      }
    }
    for (StoreRow& row : rows) materialize(destination, store->internedIdentifier(), row);
  }
  // The objects' own (possibly changed) relationship decides membership.
  std::vector<ManagedObject*> members;
  auto consider = [&](ManagedObject* candidate) {
    if (&candidate->entity() != &destination || candidate->fault_ || candidate->deleted_) return;
    if (candidate->toOne_[inverse] == object) members.push_back(candidate);
  };
  registry_.forEach(consider);
  for (auto& candidate : inserted_) consider(candidate.get());
  std::sort(members.begin(), members.end(), [](const ManagedObject* a, const ManagedObject* b) {
    bool at = a->id_.isTemporaryID(), bt = b->id_.isTemporaryID();
    if (at != bt) return !at;
    return a->id_.primaryKey() < b->id_.primaryKey();
  });
  set.assign(std::move(members));
}

// --- Fetching ---

std::optional<std::vector<std::shared_ptr<ManagedObject>>> ManagedObjectContext::executeFetchRequest(
    const FetchRequest& request, ns::Error* error) {
  if (!coordinator_) {
    throw ns::Exception(ns::kInternalInconsistencyException, "the context has no persistent store coordinator");
  }
  const EntityDescription* entity = coordinator_->managedObjectModel()->entity(request.entityName());
  if (!entity) throw ns::Exception(ns::kInvalidArgumentException, "a fetch request must name an entity of the model");
  const Predicate* predicate = request.predicate().get();
  StoreFilter filter = predicate ? predicate->storeFilter(*entity) : StoreFilter{};
  if (filter.where == "1") filter.where.clear();
  // The store alone answers when nothing here differs from it and it can
  // sort as memory does: no object is made that the caller does not touch.
  if (filter.exact && !hasPendingChanges(entity) && coordinator_->persistentStores().size() == 1) {
    if (auto order = storeOrderFor(*entity, request.sortDescriptors())) {
      order->limit = request.fetchLimit();
      return fetchFromStore(request, *entity, std::move(filter), std::move(*order), error);
    }
  }

  std::vector<ManagedObject*> found;
  {
    std::lock_guard<std::recursive_mutex> lock(coordinator_->storeMutex());
    for (const auto& store : coordinator_->persistentStores()) {
      if (filter.where == "0") break;
      const std::string* storeIdentifier = store->internedIdentifier();
      // A fetch of a whole entity registers up to every row: the registry
      // grows once instead of rehashing all along the way.
      if (filter.where.empty()) growRegistryFor(store->rowCountBound(*entity));
      bool ok = store->readRows(
          *entity, filter,
          [&](const StoreRowReader& row) {
            ManagedObject* object = materialize(*entity, storeIdentifier, row);
            if (object->deleted_ && request.includesPendingChanges()) return;
            if (predicate && (!filter.exact || object->updated_) && request.includesPendingChanges() &&
                !predicate->evaluate(*object)) {
              return;
            }
            found.push_back(object);
          },
          error);
      if (!ok) return std::nullopt;
    }
  }
  if (request.includesPendingChanges()) {
    // Unsaved objects, and changed ones that match only in memory.
    std::unordered_map<ManagedObject*, bool> already;
    if (!updated_.empty()) {
      for (ManagedObject* o : found) already.emplace(o, true);
    }
    for (const auto* list : {&inserted_, &updated_}) {
      for (const auto& o : *list) {
        if (&o->entity() != entity || already.count(o.get())) continue;
        if (predicate && !predicate->evaluate(*o)) continue;
        found.push_back(o.get());
      }
    }
  }

  sortObjects(found, *entity, request.sortDescriptors());
  if (request.fetchLimit() > 0 && found.size() > request.fetchLimit()) found.resize(request.fetchLimit());
  std::vector<std::shared_ptr<ManagedObject>> result;
  result.reserve(found.size());
  for (ManagedObject* o : found) result.push_back(o->shared_from_this());
  return result;
}

size_t ManagedObjectContext::countForFetchRequest(const FetchRequest& request, ns::Error* error) {
  if (!coordinator_) {
    throw ns::Exception(ns::kInternalInconsistencyException, "the context has no persistent store coordinator");
  }
  const EntityDescription* entity = coordinator_->managedObjectModel()->entity(request.entityName());
  if (!entity) throw ns::Exception(ns::kInvalidArgumentException, "a fetch request must name an entity of the model");
  const Predicate* predicate = request.predicate().get();
  StoreFilter filter = predicate ? predicate->storeFilter(*entity) : StoreFilter{};
  if (filter.exact && request.fetchLimit() == 0) {
    if (filter.where == "1") filter.where.clear();
    // The store counts its rows; a changed or deleted object's row counts
    // no more, and what each unsaved object now is counts instead.
    std::vector<ManagedObject*> unsaved;
    std::vector<const ManagedObject*> changedRows;
    if (request.includesPendingChanges()) {
      for (const auto& o : inserted_) {
        if (&o->entity() == entity) unsaved.push_back(o.get());
      }
      for (const auto& o : updated_) {
        if (&o->entity() != entity) continue;
        unsaved.push_back(o.get());
        changedRows.push_back(o.get());
      }
      for (const auto& o : deleted_) {
        if (&o->entity() == entity) changedRows.push_back(o.get());
      }
    }
    int64_t total = 0;
    {
      std::lock_guard<std::recursive_mutex> lock(coordinator_->storeMutex());
      for (const auto& store : coordinator_->persistentStores()) {
        if (filter.where == "0") break;
        int64_t n = 0;
        if (!store->count(*entity, filter, &n, error)) return ns::kNotFound;
        std::vector<int64_t> keys;
        for (const ManagedObject* o : changedRows) {
          if (o->id_.internedStoreIdentifier() == store->internedIdentifier()) keys.push_back(o->id_.primaryKey());
        }
        int64_t counted = 0;
        if (!store->countAmong(*entity, filter, keys, &counted, error)) return ns::kNotFound;
        total += n - counted;
      }
    }
    for (const ManagedObject* o : unsaved) {
      if (!predicate || predicate->evaluate(*o)) ++total;
    }
    return static_cast<size_t>(total);
  }
  auto objects = executeFetchRequest(request, error);
  return objects ? objects->size() : ns::kNotFound;
}

bool ManagedObjectContext::hasPendingChanges(const EntityDescription* entity) const {
  for (const auto* list : {&inserted_, &updated_, &deleted_}) {
    for (const auto& o : *list) {
      if (&o->entity() == entity) return true;
    }
  }
  return false;
}

std::optional<std::vector<std::shared_ptr<ManagedObject>>> ManagedObjectContext::fetchFromStore(
    const FetchRequest& request, const EntityDescription& entity, StoreFilter filter, StoreOrder order,
    ns::Error* error) {
  std::vector<std::shared_ptr<ManagedObject>> result;
  if (filter.where == "0") return result;
  std::lock_guard<std::recursive_mutex> lock(coordinator_->storeMutex());
  const auto store = coordinator_->persistentStores().front();
  const std::string* storeIdentifier = store->internedIdentifier();
  const size_t batchSize = request.fetchBatchSize();
  if (batchSize == 0) {
    if (filter.where.empty() && order.limit == 0) growRegistryFor(store->rowCountBound(entity));
    bool ok = store->readRows(
        entity, filter,
        [&](const StoreRowReader& row) {
          result.push_back(materialize(entity, storeIdentifier, row)->shared_from_this());
        },
        error, order);
    if (!ok) return std::nullopt;
    return result;
  }
  std::vector<int64_t> keys;
  if (!store->fetchKeys(entity, filter, order, &keys, error)) return std::nullopt;
  growRegistryFor(keys.size());
  result.reserve(keys.size());
  std::shared_ptr<std::vector<std::weak_ptr<ManagedObject>>> batch;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (i % batchSize == 0) {
      batch = std::make_shared<std::vector<std::weak_ptr<ManagedObject>>>();
      batch->reserve(std::min(batchSize, keys.size() - i));
    }
    ManagedObject* object = registeredOrFault(entity, storeIdentifier, keys[i]);
    if (object->fault_) {
      batch->push_back(object->weak_from_this());
      object->faultBatch_ = batch;
    }
    result.push_back(object->shared_from_this());
  }
  return result;
}

void ManagedObjectContext::refreshObject(const std::shared_ptr<ManagedObject>& object, bool mergeChanges) {
  if (!object || object->context_ != this || object->fault_ || object->missing_) return;
  if (mergeChanges || object->hasChanges() || object->id_.isTemporaryID()) return;
  // Relationships stay: the row read at the next access sets them again.
  for (auto& a : object->attributes_) {
    a.value = ns::Value();
    a.object.reset();
    a.decoded = false;
  }
  object->faultBatch_.reset();
  object->fault_ = true;
}

size_t ManagedObjectContext::countToMany(const ManagedObject* object, size_t relationship) {
  if (!coordinator_ || object->id_.isTemporaryID()) return ns::kNotFound;
  const RelationshipDescription& rel = object->entity_->relationships()[relationship];
  const RelationshipDescription& inverse = rel.destination->relationships()[rel.inverseIndex];
  if (inverse.toMany) return ns::kNotFound;
  FetchRequest request(rel.destination->name());
  request.setPredicate(Predicate::compare(inverse.name, Predicate::Operator::EqualTo,
                                          const_cast<ManagedObject*>(object)->shared_from_this()));
  return countForFetchRequest(request, nullptr);
}

std::shared_ptr<ManagedObject> ManagedObjectContext::existingObjectWithID(const ManagedObjectID& objectID,
                                                                          ns::Error* error) {
  auto missing = [&]() -> std::shared_ptr<ManagedObject> {
    ns::setError(error, contextError(kManagedObjectReferentialIntegrityError,
                                     "The object " + objectID.URIRepresentation() + " does not exist."));
    return nullptr;
  };
  if (!objectID.isValid() || !coordinator_) return missing();
  const ManagedObjectID& id = objectID;
  if (id.isTemporaryID()) {
    if (auto o = registered(id)) return o;
    return missing();
  }
  if (auto o = registered(id)) {
    if (!fulfillFault(o.get())) return missing();
    return o;
  }
  StoreRow row;
  bool found = false;
  std::shared_ptr<PersistentStore> store;
  {
    std::lock_guard<std::recursive_mutex> lock(coordinator_->storeMutex());
    store = coordinator_->storeWithIdentifier(id.storeIdentifier());
    if (!store) return missing();
    if (!store->fetchRow(*id.entity(), id.primaryKey(), &row, &found, error)) return nullptr;
  }
  if (!found) return missing();
  return materialize(*id.entity(), store->internedIdentifier(), row)->shared_from_this();
}

std::shared_ptr<ManagedObject> ManagedObjectContext::objectWithID(const ManagedObjectID& objectID) {
  if (!objectID.isValid()) return nullptr;
  if (auto o = registered(objectID)) return o;
  if (objectID.isTemporaryID()) return nullptr;
  return registeredOrFault(*objectID.entity(), ManagedObjectID::internStoreIdentifier(objectID.storeIdentifier()),
                           objectID.primaryKey())
      ->shared_from_this();
}

// --- Saving ---

bool ManagedObjectContext::validateForSave(ns::Error* error) {
  for (const auto* list : {&inserted_, &updated_}) {
    for (const auto& o : *list) {
      const auto& attributes = o->entity_->attributes();
      for (size_t i = 0; i < attributes.size(); ++i) {
        const auto& a = o->attributes_[i];
        bool nil = attributes[i].type == AttributeType::Transformable ? (a.decoded ? !a.object.has_value() : a.value.isNull())
                                                                       : a.value.isNull();
        if (!attributes[i].optional && nil) {
          ns::Dictionary info{
              {ns::kLocalizedDescriptionKey, ns::Value(attributes[i].name + " is a required value.")},
              {"NSValidationErrorKey", ns::Value(attributes[i].name)},
              {"NSValidationErrorObject", ns::Value(o->objectID().URIRepresentation())}};
          ns::setError(error, ns::Error(ns::kCocoaErrorDomain, kValidationMissingMandatoryPropertyError, std::move(info)));
          return false;
        }
      }
    }
  }
  return true;
}

bool ManagedObjectContext::encodeTransformables(ManagedObject* object, ns::Error* error) {
  const auto& attributes = object->entity_->attributes();
  for (size_t i = 0; i < attributes.size(); ++i) {
    if (attributes[i].type != AttributeType::Transformable) continue;
    ManagedObject::Attribute& a = object->attributes_[i];
    if (!a.decoded || !a.value.isNull()) continue;  // stored data is current
    if (!a.object.has_value()) continue;            // nil
    auto transformer = ValueTransformer::valueTransformerForName(attributes[i].valueTransformerName);
    if (!transformer) {
      ns::setError(error, contextError(kPersistentStoreSaveError, "No value transformer named \"" +
                                                                      attributes[i].valueTransformerName + "\"."));
      return false;
    }
    std::any data = transformer->transformedValue(a.object);
    if (const ns::Data* d = std::any_cast<ns::Data>(&data)) {
      a.value = ns::Value(*d);
    } else if (data.has_value()) {
      ns::setError(error, contextError(kPersistentStoreSaveError, "The value transformer \"" +
                                                                      attributes[i].valueTransformerName +
                                                                      "\" did not produce data."));
      return false;
    }
  }
  return true;
}

bool ManagedObjectContext::save(ns::Error* error) {
  processPendingChanges();
  if (!hasChanges()) return true;
  if (!coordinator_) {
    ns::setError(error, contextError(kPersistentStoreSaveError, "The context has no persistent store coordinator."));
    return false;
  }
  if (!validateForSave(error)) return false;
  for (const auto* list : {&inserted_, &updated_}) {
    for (const auto& o : *list) {
      if (!encodeTransformables(o.get(), error)) return false;
    }
  }

  std::unique_lock<std::recursive_mutex> lock(coordinator_->storeMutex());
  auto stores = coordinator_->persistentStores();
  if (stores.empty()) {
    ns::setError(error, contextError(kPersistentStoreSaveError, "The coordinator has no persistent stores."));
    return false;
  }
  std::shared_ptr<PersistentStore> insertStore = stores.front();
  auto storeOf = [&](const ManagedObject* o) -> PersistentStore* {
    for (const auto& s : stores) {
      if (s->internedIdentifier() == o->id_.internedStoreIdentifier()) return s.get();
    }
    return nullptr;
  };
  size_t begun = 0;
  auto rollbackAll = [&] {
    for (size_t i = 0; i < begun; ++i) stores[i]->rollback();
  };
  for (; begun < stores.size(); ++begun) {
    if (!stores[begun]->beginSave(error)) {
      rollbackAll();
      return false;
    }
  }

  // Keys for new rows, so new objects can refer to each other.
  {
    std::vector<int64_t> counts(coordinator_->managedObjectModel()->entities().size(), 0);
    for (const auto& o : inserted_) ++counts[o->entity_->index()];
    std::vector<int64_t> next(counts.size(), 0);
    for (const auto& e : coordinator_->managedObjectModel()->entities()) {
      if (counts[e->index()]) next[e->index()] = insertStore->reserveKeys(*e, counts[e->index()]);
    }
    for (const auto& o : inserted_) o->newKey_ = next[o->entity_->index()]++;
  }
  auto keyOf = [&](const ManagedObject* target) -> ns::Value {
    if (!target) return ns::Value();
    if (target->inserted_) return ns::Value(target->newKey_);
    return ns::Value(target->id_.primaryKey());
  };

  // Rows are written from the objects' own values, not from copies; only
  // the to-one keys are made here.
  bool ok = true;
  std::vector<const ns::Value*> values;
  std::vector<ns::Value> keys;
  for (const auto& o : inserted_) {
    const EntityDescription& entity = *o->entity_;
    const size_t attributeCount = entity.attributes().size();
    const size_t relationshipCount = entity.relationships().size();
    values.resize(attributeCount + relationshipCount);
    keys.resize(relationshipCount);
    for (size_t i = 0; i < attributeCount; ++i) values[i] = &o->attributes_[i].value;
    for (size_t r = 0; r < relationshipCount; ++r) {
      keys[r] = entity.relationships()[r].toMany ? ns::Value() : keyOf(o->toOne_[r]);
      values[attributeCount + r] = &keys[r];
    }
    if (!insertStore->insertRow(entity, o->newKey_, values, error)) {
      ok = false;
      break;
    }
  }
  std::vector<size_t> columns;
  for (size_t u = 0; ok && u < updated_.size(); ++u) {
    ManagedObject* o = updated_[u].get();
    const EntityDescription& entity = *o->entity_;
    const size_t attributeCount = entity.attributes().size();
    const size_t relationshipCount = entity.relationships().size();
    columns.clear();
    values.clear();
    keys.resize(relationshipCount);
    for (size_t i = 0; i < attributeCount; ++i) {
      if (!o->changed_.test(i)) continue;
      columns.push_back(i);
      values.push_back(&o->attributes_[i].value);
    }
    for (size_t r = 0; r < relationshipCount; ++r) {
      if (!o->changed_.test(attributeCount + r) || entity.relationships()[r].toMany) continue;
      columns.push_back(attributeCount + r);
      keys[r] = keyOf(o->toOne_[r]);
      values.push_back(&keys[r]);
    }
    if (columns.empty()) continue;
    PersistentStore* store = storeOf(o);
    bool changed = false;
    // A row deleted meanwhile by someone else stays deleted.
    if (store && !store->updateRow(entity, o->id_.primaryKey(), columns, values, &changed, error)) ok = false;
  }
  for (size_t d = 0; ok && d < deleted_.size(); ++d) {
    ManagedObject* o = deleted_[d].get();
    PersistentStore* store = storeOf(o);
    if (store && !store->deleteRow(*o->entity_, o->id_.primaryKey(), error)) ok = false;
  }
  if (ok) {
    for (size_t i = 0; i < stores.size(); ++i) {
      if (!stores[i]->commit(error)) {
        // Stores committed before this one keep their part.
        for (size_t j = i + 1; j < stores.size(); ++j) stores[j]->rollback();
        return false;
      }
    }
  } else {
    rollbackAll();
    return false;
  }
  lock.unlock();

  // The store has it all: bring the objects up to date.
  SavedObjectIDs ids;
  ObjectChanges saved;
  ids.inserted.reserve(inserted_.size());
  saved.inserted.reserve(inserted_.size());
  // The new objects join the registry at once: it grows a single time.
  growRegistryFor(inserted_.size());
  for (const auto& o : inserted_) {
    ManagedObjectID permanent = ManagedObjectID::permanent(o->entity_, insertStore->internedIdentifier(), o->newKey_);
    *registry_.findOrAdd(permanent).first = o;
    o->id_ = permanent;
    o->inserted_ = false;
    o->changed_.clear();
    ids.inserted.push_back(permanent);
    saved.inserted.push_back(o);
  }
  for (const auto& o : updated_) {
    o->updated_ = false;
    o->changed_.clear();
    ids.updated.push_back(o->id_);
    saved.updated.push_back(o);
  }
  for (const auto& o : deleted_) {
    ids.deleted.push_back(o->id_);
    saved.deleted.push_back(o);
    forgetObject(o.get());
    o->deleted_ = false;
  }
  inserted_.clear();
  updated_.clear();
  deleted_.clear();

  postDidSave(saved);
  coordinator_->contextDidSave(this, ids);
  return true;
}

void ManagedObjectContext::postDidSave(const ObjectChanges& saved) {
  std::shared_ptr<void> sender = weak_from_this().lock();
  if (!sender) sender = ns::unownedObject(this);
  // Naming every saved object costs a string each: not made for no one.
  auto& center = ns::NotificationCenter::defaultCenter();
  if (!center.hasObservers(kManagedObjectContextDidSaveNotification, sender.get())) return;
  auto uris = [](const std::vector<std::shared_ptr<ManagedObject>>& objects) {
    ns::Array array;
    array.reserve(objects.size());
    for (const auto& o : objects) array.push_back(ns::Value(o->objectID().URIRepresentation()));
    return ns::Value(std::move(array));
  };
  ns::Dictionary info;
  info.set(kInsertedObjectsKey, uris(saved.inserted));
  info.set(kUpdatedObjectsKey, uris(saved.updated));
  info.set(kDeletedObjectsKey, uris(saved.deleted));
  center.post(kManagedObjectContextDidSaveNotification, sender, std::move(info));
}

// --- Merging ---

void ManagedObjectContext::mergeChangesFromContextDidSaveNotification(const ns::Notification& notification) {
  if (!coordinator_) return;
  SavedObjectIDs ids;
  auto read = [&](const char* key, std::vector<ManagedObjectID>* out) {
    const ns::Value* list = notification.userInfo().find(key);
    if (!list || !list->asArray()) return;
    for (const ns::Value& uri : *list->asArray()) {
      if (auto id = coordinator_->managedObjectIDForURIRepresentation(uri.stringValue())) out->push_back(*id);
    }
  };
  read(kInsertedObjectsKey, &ids.inserted);
  read(kUpdatedObjectsKey, &ids.updated);
  read(kDeletedObjectsKey, &ids.deleted);
  mergeChanges(ids);
}

void ManagedObjectContext::mergeChanges(const SavedObjectIDs& changes) {
  if (!coordinator_) return;
  auto dropObject = [&](ManagedObject* o) {
    std::shared_ptr<ManagedObject> keep = o->shared_from_this();
    removeFromChangeLists(o);
    if (o->deleted_) {
      eraseObject(deleted_, o);
      o->deleted_ = false;
    } else {
      notePendingDelete(o);
    }
    forgetObject(o);
  };
  for (const auto& id : changes.deleted) {
    if (auto o = registered(id)) dropObject(o.get());
  }
  auto loadRow = [&](const ManagedObjectID& id, StoreRow* row, std::shared_ptr<PersistentStore>* store) {
    std::lock_guard<std::recursive_mutex> lock(coordinator_->storeMutex());
    *store = coordinator_->storeWithIdentifier(id.storeIdentifier());
    bool found = false;
    if (*store) (*store)->fetchRow(*id.entity(), id.primaryKey(), row, &found, nullptr);
    return found;
  };
  for (const auto& id : changes.updated) {
    auto o = registered(id);
    if (o && o->fault_) {
      notePendingUpdate(o.get());
      continue;
    }
    StoreRow row;
    std::shared_ptr<PersistentStore> store;
    bool found = loadRow(id, &row, &store);
    if (!found) {
      if (o) dropObject(o.get());
      continue;
    }
    if (o) {
      if (o->deleted_) continue;
      applyRow(o.get(), row, true);
      notePendingUpdate(o.get());
    } else if (!observers_.empty()) {
      // Observers may now want an object they never fetched.
      notePendingUpdate(materialize(*id.entity(), store->internedIdentifier(), row));
    }
  }
  for (const auto& id : changes.inserted) {
    auto o = registered(id);
    if (!o) {
      StoreRow row;
      std::shared_ptr<PersistentStore> store;
      if (!loadRow(id, &row, &store)) continue;
      o = materialize(*id.entity(), store->internedIdentifier(), row)->shared_from_this();
    }
    notePendingInsert(o.get());
  }
  processPendingChanges();
}

}  // namespace cd
