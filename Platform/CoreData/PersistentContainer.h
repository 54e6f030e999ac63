// A named stack: the model, a coordinator, the store descriptions (one by
// default: "<name>.sqlite" in the app's Application Support directory), the
// view context on the main queue, and background contexts on their own
// queues. Load the stores before using the contexts.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Platform/CoreData/ManagedObjectContext.h"
#include "Platform/CoreData/ManagedObjectModel.h"
#include "Platform/CoreData/PersistentStoreCoordinator.h"
#include "Platform/CoreData/PersistentStoreDescription.h"
#include "Platform/Foundation/Error.h"

namespace cd {

class PersistentContainer {
 public:
  // The model registered under `name` (ManagedObjectModel::registerModel);
  // throws ns::Exception when there is none.
  static std::shared_ptr<PersistentContainer> persistentContainerWithName(const std::string& name);

  PersistentContainer(std::string name, std::shared_ptr<ManagedObjectModel> model);
  virtual ~PersistentContainer();
  PersistentContainer(const PersistentContainer&) = delete;
  PersistentContainer& operator=(const PersistentContainer&) = delete;

  // The directory of default store files: the device's Application Support.
  static std::string defaultDirectoryURL();

  const std::string& name() const { return name_; }
  const std::shared_ptr<ManagedObjectModel>& managedObjectModel() const { return model_; }
  const std::shared_ptr<PersistentStoreCoordinator>& persistentStoreCoordinator() const { return coordinator_; }
  const std::shared_ptr<ManagedObjectContext>& viewContext() const { return viewContext_; }

  std::vector<PersistentStoreDescription>& persistentStoreDescriptions() { return descriptions_; }
  void setPersistentStoreDescriptions(std::vector<PersistentStoreDescription> descriptions) {
    descriptions_ = std::move(descriptions);
  }

  // Adds each described store, synchronously, calling `handler` once per
  // description with the error of that store (null when it loaded).
  void loadPersistentStores(
      const std::function<void(const PersistentStoreDescription&, const ns::Error*)>& handler);

  std::shared_ptr<ManagedObjectContext> newBackgroundContext();
  // Runs `block` on a new background context's queue.
  void performBackgroundTask(std::function<void(ManagedObjectContext&)> block);

 private:
  std::string name_;
  std::shared_ptr<ManagedObjectModel> model_;
  std::shared_ptr<PersistentStoreCoordinator> coordinator_;
  std::shared_ptr<ManagedObjectContext> viewContext_;
  std::vector<PersistentStoreDescription> descriptions_;
};

}  // namespace cd
