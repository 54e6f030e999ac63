#include "Platform/CoreData/PersistentContainer.h"

#include "Platform/Foundation/Device.h"

namespace cd {

std::shared_ptr<PersistentContainer> PersistentContainer::persistentContainerWithName(const std::string& name) {
  auto model = ManagedObjectModel::named(name);
  if (!model) throw ns::Exception(ns::kInvalidArgumentException, "no model named " + name);
  return std::make_shared<PersistentContainer>(name, std::move(model));
}

PersistentContainer::PersistentContainer(std::string name, std::shared_ptr<ManagedObjectModel> model)
    : name_(std::move(name)), model_(std::move(model)) {
  coordinator_ = std::make_shared<PersistentStoreCoordinator>(model_);
  viewContext_ = std::make_shared<ManagedObjectContext>(ManagedObjectContext::ConcurrencyType::MainQueue);
  viewContext_->setPersistentStoreCoordinator(coordinator_);
  descriptions_.emplace_back(defaultDirectoryURL() + "/" + name_ + ".sqlite");
}

PersistentContainer::~PersistentContainer() = default;

std::string PersistentContainer::defaultDirectoryURL() {
  return ns::Device::current().applicationSupportDirectory();
}

void PersistentContainer::loadPersistentStores(
    const std::function<void(const PersistentStoreDescription&, const ns::Error*)>& handler) {
  for (const auto& description : descriptions_) {
    ns::Error error;
    auto store =
        coordinator_->addPersistentStore(description.type(), description.url(), description.effectiveOptions(), &error);
    if (handler) handler(description, store ? nullptr : &error);
  }
}

std::shared_ptr<ManagedObjectContext> PersistentContainer::newBackgroundContext() {
  auto context = std::make_shared<ManagedObjectContext>(ManagedObjectContext::ConcurrencyType::PrivateQueue);
  context->setPersistentStoreCoordinator(coordinator_);
  return context;
}

void PersistentContainer::performBackgroundTask(std::function<void(ManagedObjectContext&)> block) {
  auto context = newBackgroundContext();
  context->perform([context, block = std::move(block)]() mutable {
    block(*context);
    // The context goes when the block is done; its queue must not own it.
    auto done = std::move(context);
  });
}

}  // namespace cd
