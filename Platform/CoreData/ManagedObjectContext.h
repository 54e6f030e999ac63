// A scratch pad of objects on one queue: objects are fetched into it,
// inserted, changed and deleted there, and saved to the coordinator's
// store in one transaction.
//
// A main-queue context belongs to the main queue (the user interface's
// context); a private-queue context owns a serial queue. `perform` queues a
// block there; `performAndWait` runs it there and waits, and runs it in
// place when the caller already is on that queue, so it nests. Everything
// else is called on the context's queue.
//
// Fetches see unsaved changes. Deleting follows the model's delete rules at
// once. processPendingChanges (also run by save and by merges) tells the
// fetched-results controllers what changed. A save writes only the changed
// properties of updated objects, so concurrent saves of other properties
// survive (in-memory changes win per property); a failed save leaves every
// change in place. After a save the did-save notification is posted, and
// contexts of the same coordinator that merge automatically bring the
// changes in on their own queues.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Platform/CoreData/FetchRequest.h"
#include "Platform/CoreData/ManagedObject.h"
#include "Platform/CoreData/ObjectChanges.h"
#include "Platform/CoreData/ObjectRegistry.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Notification.h"

namespace dispatch {
class Queue;
}

namespace cd {

class PersistentStoreCoordinator;
class PersistentStore;
struct StoreRow;
class StoreRowReader;

// Posted after each successful save; object: the saving context; user info:
// "inserted", "updated", "deleted", arrays of the objects' URI strings.
inline constexpr const char* kManagedObjectContextDidSaveNotification = "NSManagedObjectContextDidSaveNotification";
inline constexpr const char* kInsertedObjectsKey = "inserted";
inline constexpr const char* kUpdatedObjectsKey = "updated";
inline constexpr const char* kDeletedObjectsKey = "deleted";

enum class MergePolicy {
  Error,                        // the platform's default; saves here still merge per property
  MergeByPropertyStoreTrump,
  MergeByPropertyObjectTrump,
  Overwrite,
  Rollback,
};

class ManagedObjectContext : public std::enable_shared_from_this<ManagedObjectContext> {
 public:
  enum class ConcurrencyType { PrivateQueue = 1, MainQueue = 2 };

  explicit ManagedObjectContext(ConcurrencyType type);
  ~ManagedObjectContext();
  ManagedObjectContext(const ManagedObjectContext&) = delete;
  ManagedObjectContext& operator=(const ManagedObjectContext&) = delete;

  ConcurrencyType concurrencyType() const { return type_; }
  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }

  std::shared_ptr<PersistentStoreCoordinator> persistentStoreCoordinator() const { return coordinator_; }
  void setPersistentStoreCoordinator(std::shared_ptr<PersistentStoreCoordinator> coordinator);

  MergePolicy mergePolicy() const { return mergePolicy_; }
  void setMergePolicy(MergePolicy policy) { mergePolicy_ = policy; }
  bool automaticallyMergesChangesFromParent() const { return automaticallyMerges_; }
  void setAutomaticallyMergesChangesFromParent(bool merges) { automaticallyMerges_ = merges; }

  void perform(std::function<void()> block);
  void performAndWait(const std::function<void()>& block);
  // Whether the caller runs on the context's queue.
  bool isOnQueue() const;

  // A new object of the entity, inserted here. Throws ns::Exception for an
  // entity the model does not have.
  std::shared_ptr<ManagedObject> insertNewObject(const std::string& entityName);
  template <class T>
  std::shared_ptr<T> insertNewObject(const std::string& entityName) {
    return std::dynamic_pointer_cast<T>(insertNewObject(entityName));
  }
  void deleteObject(const std::shared_ptr<ManagedObject>& object);

  bool hasChanges() const;
  std::vector<std::shared_ptr<ManagedObject>> insertedObjects() const;
  std::vector<std::shared_ptr<ManagedObject>> updatedObjects() const;
  std::vector<std::shared_ptr<ManagedObject>> deletedObjects() const;
  size_t registeredObjectCount() const { return registry_.size(); }

  void processPendingChanges();
  bool save(ns::Error* error);

  // nullopt (and *error) when the fetch fails. When the store can filter
  // and sort the request alone (no unsaved change of the entity here), it
  // does, and with a batch size only the keys are read: the objects come
  // as faults, and touching one loads its whole batch in one read.
  std::optional<std::vector<std::shared_ptr<ManagedObject>>> executeFetchRequest(const FetchRequest& request,
                                                                                 ns::Error* error);
  // ns::kNotFound (and *error) when the count fails. The store counts;
  // unsaved changes of the entity are accounted for object by object.
  size_t countForFetchRequest(const FetchRequest& request, ns::Error* error);

  // Turns an object without unsaved changes back into a fault, dropping
  // its values (and any decoded transformable); the next access reads it
  // again. With `mergeChanges` (or changes) it stays as it is.
  void refreshObject(const std::shared_ptr<ManagedObject>& object, bool mergeChanges);

  // The object with that ID, loaded; null with an error when it does not
  // exist (any more) or belongs to no store of the coordinator.
  std::shared_ptr<ManagedObject> existingObjectWithID(const ManagedObjectID& objectID, ns::Error* error);
  // The object with that ID, registered here, possibly as a fault.
  std::shared_ptr<ManagedObject> objectWithID(const ManagedObjectID& objectID);

  // Brings in what another context saved: IDs from the did-save
  // notification. Changed properties of objects here keep their values.
  void mergeChangesFromContextDidSaveNotification(const ns::Notification& notification);
  void mergeChanges(const SavedObjectIDs& changes);

  // Fetched-results controllers register here (on the context's queue).
  void addChangeObserver(ContextChangeObserver* observer);
  void removeChangeObserver(ContextChangeObserver* observer);

 private:
  friend class ManagedObject;
  friend class PersistentStoreCoordinator;

  // Called by objects.
  void objectDidChange(ManagedObject* object);
  bool fulfillFault(ManagedObject* object);
  bool fulfillFaultBatch(ManagedObject* object);
  void loadToMany(ManagedObject* object, size_t relationship);
  // The members of a to-many relationship counted by the store (kNotFound
  // when it cannot).
  size_t countToMany(const ManagedObject* object, size_t relationship);
  bool hasPendingChanges(const EntityDescription* entity) const;
  std::optional<std::vector<std::shared_ptr<ManagedObject>>> fetchFromStore(const FetchRequest& request,
                                                                            const EntityDescription& entity,
                                                                            StoreFilter filter, StoreOrder order,
                                                                            ns::Error* error);
  // Makes room in the registry for `more` objects, growing it only.
  void growRegistryFor(size_t more);
  ManagedObject* registeredOrFault(const EntityDescription& entity, const std::string* store, int64_t key);

  std::shared_ptr<ManagedObject> registered(const ManagedObjectID& id) const;
  ManagedObject* materialize(const EntityDescription& entity, const std::string* store, StoreRow& row);
  ManagedObject* materialize(const EntityDescription& entity, const std::string* store, const StoreRowReader& row);
  void applyRow(ManagedObject* object, StoreRow& row, bool keepChanged);
  // Sets the object from a row: `valueAt(i)` yields its value i (StoreRow's layout).
  template <class ValueAt>
  void applyValues(ManagedObject* object, const ValueAt& valueAt, bool keepChanged);
  void deleteWithRules(ManagedObject* object);
  void forgetObject(ManagedObject* object);
  void detachFromRelated(ManagedObject* object);
  void removeFromChangeLists(ManagedObject* object);
  void notePendingInsert(ManagedObject* object);
  void notePendingUpdate(ManagedObject* object);
  void notePendingDelete(ManagedObject* object);
  bool encodeTransformables(ManagedObject* object, ns::Error* error);
  bool validateForSave(ns::Error* error);
  void postDidSave(const ObjectChanges& saved);
  std::shared_ptr<dispatch::Queue> queue() const;

  ConcurrencyType type_;
  std::string name_;
  std::shared_ptr<PersistentStoreCoordinator> coordinator_;
  MergePolicy mergePolicy_ = MergePolicy::Error;
  bool automaticallyMerges_ = false;
  mutable std::shared_ptr<dispatch::Queue> privateQueue_;

  // Objects with a permanent ID; inserted ones are in inserted_ only.
  ObjectRegistry registry_;
  // Changes since the last save, in order of arrival.
  std::vector<std::shared_ptr<ManagedObject>> inserted_;
  std::vector<std::shared_ptr<ManagedObject>> updated_;
  std::vector<std::shared_ptr<ManagedObject>> deleted_;
  // Changes since processPendingChanges last ran, for the observers.
  // An object's pendingInserted_/pendingUpdated_ flag says whether its entry counts.
  std::vector<std::shared_ptr<ManagedObject>> pendingInserted_;
  std::vector<std::shared_ptr<ManagedObject>> pendingUpdated_;
  std::vector<std::shared_ptr<ManagedObject>> pendingDeleted_;
  std::vector<ContextChangeObserver*> observers_;
  bool processing_ = false;
};

}  // namespace cd
