// The container whose store the platform mirrors to the user's cloud
// database. No such service exists here: the container keeps its type and
// options and mirrors nothing. Changes that would arrive from the cloud
// are applied with applyRemoteChanges, through a context of its own that
// saves like the mirroring would, so the view context merges them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Platform/CoreData/PersistentContainer.h"

namespace cd {

class PersistentCloudKitContainer : public PersistentContainer {
 public:
  static std::shared_ptr<PersistentCloudKitContainer> persistentContainerWithName(const std::string& name);
  using PersistentContainer::PersistentContainer;

  // Runs `changes` on a new background context, saves it and waits; the
  // result of the save.
  bool applyRemoteChanges(const std::function<void(ManagedObjectContext&)>& changes, ns::Error* error);
};

}  // namespace cd
