#include "Platform/CoreData/PersistentStoreCoordinator.h"

#include <algorithm>

#include "Platform/CoreData/CoreDataErrors.h"
#include "Platform/CoreData/ManagedObjectContext.h"
#include "Platform/CoreData/StoreOptions.h"

namespace cd {

namespace {

ns::Error coordinatorError(int64_t code, const std::string& text) {
  return ns::Error::withDescription(ns::kCocoaErrorDomain, code, text);
}

uint64_t freshStamp() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

}  // namespace

PersistentStoreCoordinator::PersistentStoreCoordinator(std::shared_ptr<ManagedObjectModel> model)
    : model_(std::move(model)), changeStamp_(freshStamp()) {
  if (!model_) throw ns::Exception(ns::kInvalidArgumentException, "a coordinator needs a model");
  model_->validate();
}

PersistentStoreCoordinator::~PersistentStoreCoordinator() = default;

std::shared_ptr<PersistentStore> PersistentStoreCoordinator::addPersistentStore(const std::string& type,
                                                                                const std::string& url,
                                                                                const ns::Dictionary& options,
                                                                                ns::Error* error) {
  if (type != kSQLiteStoreType) {
    ns::setError(error, coordinatorError(kPersistentStoreInvalidTypeError, "Unknown store type " + type + "."));
    return nullptr;
  }
  std::lock_guard<std::recursive_mutex> lock(storeMutex_);
  if (persistentStoreForURL(url)) {
    ns::setError(error, coordinatorError(kPersistentStoreOpenError, "The store at " + url + " is already added."));
    return nullptr;
  }
  auto store = PersistentStore::open(model_, url, options, error);
  if (store) stores_.push_back(store);
  changeStamp_ = freshStamp();
  return store;
}

bool PersistentStoreCoordinator::removePersistentStore(const std::shared_ptr<PersistentStore>& store,
                                                       ns::Error* error) {
  std::lock_guard<std::recursive_mutex> lock(storeMutex_);
  auto it = std::find(stores_.begin(), stores_.end(), store);
  if (it == stores_.end()) {
    ns::setError(error, coordinatorError(kPersistentStoreOperationError, "The store is not in this coordinator."));
    return false;
  }
  (*it)->close();
  stores_.erase(it);
  changeStamp_ = freshStamp();
  return true;
}

std::shared_ptr<PersistentStore> PersistentStoreCoordinator::migratePersistentStore(
    const std::shared_ptr<PersistentStore>& store, const std::string& url, const ns::Dictionary& options,
    const std::string& type, ns::Error* error) {
  if (type != kSQLiteStoreType) {
    ns::setError(error, coordinatorError(kPersistentStoreInvalidTypeError, "Unknown store type " + type + "."));
    return nullptr;
  }
  std::lock_guard<std::recursive_mutex> lock(storeMutex_);
  auto it = std::find(stores_.begin(), stores_.end(), store);
  if (!store || it == stores_.end()) {
    ns::setError(error, coordinatorError(kMigrationError, "The store to migrate is not in this coordinator."));
    return nullptr;
  }
  if (!store->copyTo(url, error)) return nullptr;
  auto copy = PersistentStore::open(model_, url, options, error);
  if (!copy) return nullptr;
  store->close();
  *it = copy;
  changeStamp_ = freshStamp();
  return copy;
}

std::vector<std::shared_ptr<PersistentStore>> PersistentStoreCoordinator::persistentStores() const {
  std::lock_guard<std::recursive_mutex> lock(storeMutex_);
  return stores_;
}

std::shared_ptr<PersistentStore> PersistentStoreCoordinator::persistentStoreForURL(const std::string& url) const {
  std::lock_guard<std::recursive_mutex> lock(storeMutex_);
  for (const auto& s : stores_) {
    if (s->URL() == url) return s;
  }
  return nullptr;
}

std::shared_ptr<PersistentStore> PersistentStoreCoordinator::storeWithIdentifier(const std::string& identifier) const {
  std::lock_guard<std::recursive_mutex> lock(storeMutex_);
  for (const auto& s : stores_) {
    if (s->identifier() == identifier) return s;
  }
  return nullptr;
}

std::optional<ManagedObjectID> PersistentStoreCoordinator::managedObjectIDForURIRepresentation(
    const std::string& uri) const {
  const std::string prefix = std::string(kObjectURIScheme) + "://";
  if (uri.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  std::string rest = uri.substr(prefix.size());
  size_t slash1 = rest.find('/');
  if (slash1 == std::string::npos || slash1 == 0) return std::nullopt;
  size_t slash2 = rest.find('/', slash1 + 1);
  if (slash2 == std::string::npos) return std::nullopt;
  std::string storeId = rest.substr(0, slash1);
  std::string entityName = rest.substr(slash1 + 1, slash2 - slash1 - 1);
  std::string key = rest.substr(slash2 + 1);
  if (key.size() < 2 || key[0] != 'p' || key.size() > 19) return std::nullopt;
  int64_t pk = 0;
  for (size_t i = 1; i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return std::nullopt;
    pk = pk * 10 + (key[i] - '0');
  }
  if (pk <= 0) return std::nullopt;
  const EntityDescription* entity = model_->entity(entityName);
  if (!entity || !storeWithIdentifier(storeId)) return std::nullopt;
  return ManagedObjectID::permanent(entity, storeId, pk);
}

void PersistentStoreCoordinator::registerContext(const std::weak_ptr<ManagedObjectContext>& context) {
  std::lock_guard<std::mutex> lock(contextsMutex_);
  contexts_.erase(std::remove_if(contexts_.begin(), contexts_.end(), [](const auto& w) { return w.expired(); }),
                  contexts_.end());
  contexts_.push_back(context);
}

void PersistentStoreCoordinator::contextDidSave(const ManagedObjectContext* source, const SavedObjectIDs& saved) {
  changeStamp_ = freshStamp();
  std::vector<std::shared_ptr<ManagedObjectContext>> targets;
  {
    std::lock_guard<std::mutex> lock(contextsMutex_);
    for (const auto& w : contexts_) {
      auto context = w.lock();
      if (context && context.get() != source && context->automaticallyMergesChangesFromParent() &&
          context->persistentStoreCoordinator().get() == this) {
        targets.push_back(std::move(context));
      }
    }
  }
  for (auto& context : targets) {
    std::weak_ptr<ManagedObjectContext> weak = context;
    context->perform([weak, saved] {
      if (auto c = weak.lock()) c->mergeChanges(saved);
    });
  }
}

}  // namespace cd
