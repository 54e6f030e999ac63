#include "Platform/CoreData/PersistentCloudKitContainer.h"

namespace cd {

std::shared_ptr<PersistentCloudKitContainer> PersistentCloudKitContainer::persistentContainerWithName(
    const std::string& name) {
  auto model = ManagedObjectModel::named(name);
  if (!model) throw ns::Exception(ns::kInvalidArgumentException, "no model named " + name);
  return std::make_shared<PersistentCloudKitContainer>(name, std::move(model));
}

bool PersistentCloudKitContainer::applyRemoteChanges(const std::function<void(ManagedObjectContext&)>& changes,
                                                     ns::Error* error) {
  auto context = newBackgroundContext();
  context->setName("remote changes");
  bool ok = false;
  context->performAndWait([&] {
    changes(*context);
    ok = context->save(error);
  });
  return ok;
}

}  // namespace cd
