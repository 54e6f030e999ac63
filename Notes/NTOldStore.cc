#include "Notes/NTOldStore.h"

void NTOldStore::migrateIfRequired(const std::shared_ptr<cd::PersistentStoreCoordinator>&, const ns::URL&,
                                   const ns::Dictionary&) {}
