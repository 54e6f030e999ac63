// The legacy store's move into "Notes.sqlite", run before the container
// opens its store.
//
// Seam: the migration comes with the legacy-store work; today there is
// never a legacy store to move and nothing is done.
#pragma once

#include <memory>

#include "Platform/CoreData/PersistentStoreCoordinator.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

class NTOldStore {
 public:
  static void migrateIfRequired(const std::shared_ptr<cd::PersistentStoreCoordinator>& coordinator,
                                const ns::URL& newStoreURL, const ns::Dictionary& newStoreOptions);
};
