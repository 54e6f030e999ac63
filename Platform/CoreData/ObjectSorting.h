// Stable sorting of objects by sort descriptors: each object's keys are read
// once, then compared. The same order can often be had from the store.
#pragma once

#include <optional>
#include <vector>

#include "Platform/CoreData/ManagedObject.h"
#include "Platform/CoreData/SortDescriptor.h"
#include "Platform/CoreData/StoreRow.h"

namespace cd {

void sortObjects(std::vector<ManagedObject*>& objects, const EntityDescription& entity,
                 const std::vector<SortDescriptor>& descriptors);

// The store's ORDER BY for the descriptors when it sorts the entity's rows
// exactly as sortObjects sorts their objects (ties in key order, nil first
// when ascending): each descriptor names a plain attribute of the entity
// that SQLite orders as memory does. None otherwise (key paths across
// relationships, data).
std::optional<StoreOrder> storeOrderFor(const EntityDescription& entity,
                                        const std::vector<SortDescriptor>& descriptors);

}  // namespace cd
