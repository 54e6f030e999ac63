// Sets of objects that changed together: what a context reports to its
// fetched-results controllers when it processes pending changes, and what
// a save announces (the objects of the saving context, or their IDs for
// other contexts that merge them).
#pragma once

#include <memory>
#include <vector>

#include "Platform/CoreData/ManagedObjectID.h"

namespace cd {

class ManagedObject;

struct ObjectChanges {
  std::vector<std::shared_ptr<ManagedObject>> inserted;
  std::vector<std::shared_ptr<ManagedObject>> updated;
  std::vector<std::shared_ptr<ManagedObject>> deleted;

  bool empty() const { return inserted.empty() && updated.empty() && deleted.empty(); }
};

struct SavedObjectIDs {
  std::vector<ManagedObjectID> inserted;
  std::vector<ManagedObjectID> updated;
  std::vector<ManagedObjectID> deleted;
};

// Told synchronously, on the context's queue, after the context processed
// pending changes (fetched-results controllers implement it).
class ContextChangeObserver {
 public:
  virtual ~ContextChangeObserver() = default;
  virtual void contextObjectsDidChange(const ObjectChanges& changes) = 0;
};

}  // namespace cd
