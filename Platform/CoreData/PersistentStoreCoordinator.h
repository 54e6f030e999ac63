// The link between contexts and the store files of one model: adds,
// migrates (copies to a new file) and removes stores, resolves object URIs,
// and serialises every use of the stores, so contexts on different queues
// share it safely. After a context saves, the coordinator hands the saved
// IDs to the other contexts that merge changes automatically.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/CoreData/ManagedObjectID.h"
#include "Platform/CoreData/ManagedObjectModel.h"
#include "Platform/CoreData/ObjectChanges.h"
#include "Platform/CoreData/PersistentStore.h"
#include "Platform/Foundation/Error.h"

namespace cd {

class ManagedObjectContext;

class PersistentStoreCoordinator : public std::enable_shared_from_this<PersistentStoreCoordinator> {
 public:
  // Validates the model (ns::Exception for one that cannot work).
  explicit PersistentStoreCoordinator(std::shared_ptr<ManagedObjectModel> model);
  ~PersistentStoreCoordinator();

  const std::shared_ptr<ManagedObjectModel>& managedObjectModel() const { return model_; }

  // Opens the SQLite store file at `url` (a file path); see PersistentStore
  // for creation and migration. Only kSQLiteStoreType is known.
  std::shared_ptr<PersistentStore> addPersistentStore(const std::string& type, const std::string& url,
                                                      const ns::Dictionary& options, ns::Error* error);
  bool removePersistentStore(const std::shared_ptr<PersistentStore>& store, ns::Error* error);
  // Copies the store to `url` (which must not exist yet), opens the copy
  // with `options` in its place and returns it. The original file stays.
  std::shared_ptr<PersistentStore> migratePersistentStore(const std::shared_ptr<PersistentStore>& store,
                                                          const std::string& url, const ns::Dictionary& options,
                                                          const std::string& type, ns::Error* error);
  std::vector<std::shared_ptr<PersistentStore>> persistentStores() const;
  std::shared_ptr<PersistentStore> persistentStoreForURL(const std::string& url) const;

  // The ID that a URI from ManagedObjectID::URIRepresentation names; nullopt
  // for a malformed or temporary URI, or one of a store or entity this
  // coordinator does not have. The object itself may no longer exist.
  std::optional<ManagedObjectID> managedObjectIDForURIRepresentation(const std::string& uri) const;

  // A stamp that no other coordinator of the process ever has, renewed by
  // every save through this one and every store added or removed: equal
  // stamps mean the stores hold what they held (as far as this process
  // wrote them).
  uint64_t changeStamp() const { return changeStamp_.load(); }

  // For contexts: the lock around every store use, and the stores.
  std::recursive_mutex& storeMutex() const { return storeMutex_; }
  std::shared_ptr<PersistentStore> storeWithIdentifier(const std::string& identifier) const;
  void registerContext(const std::weak_ptr<ManagedObjectContext>& context);
  void contextDidSave(const ManagedObjectContext* source, const SavedObjectIDs& saved);

 private:
  std::shared_ptr<ManagedObjectModel> model_;
  mutable std::recursive_mutex storeMutex_;
  std::vector<std::shared_ptr<PersistentStore>> stores_;
  mutable std::mutex contextsMutex_;
  std::vector<std::weak_ptr<ManagedObjectContext>> contexts_;
  std::atomic<uint64_t> changeStamp_;
};

}  // namespace cd
