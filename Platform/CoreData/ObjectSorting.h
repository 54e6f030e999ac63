// Stable sorting of objects by sort descriptors: each object's keys are read
// once, then compared.
#pragma once

#include <vector>

#include "Platform/CoreData/ManagedObject.h"
#include "Platform/CoreData/SortDescriptor.h"

namespace cd {

void sortObjects(std::vector<ManagedObject*>& objects, const EntityDescription& entity,
                 const std::vector<SortDescriptor>& descriptors);

}  // namespace cd
