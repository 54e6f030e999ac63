#include "Libraries/TelemetryCore/HeartbeatStorage.h"

#include <map>
#include <mutex>

namespace zovcore {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, std::weak_ptr<HeartbeatStorage>> instances;
};

Registry& registry() {
  static Registry* r = new Registry();  // lives for the whole process
  return *r;
}

std::optional<HeartbeatsBundle> loadBundle(Storage& storage) {
  std::optional<ns::Data> data = storage.read();
  if (!data || data->empty()) return std::nullopt;
  return decodeHeartbeatsBundle(*data);
}

bool saveBundle(Storage& storage, const std::optional<HeartbeatsBundle>& bundle) {
  return storage.write(bundle ? std::optional<ns::Data>(encodeHeartbeatsBundle(*bundle)) : std::nullopt);
}

}  // namespace

std::shared_ptr<HeartbeatStorage> HeartbeatStorage::sharedStorage(const std::string& id) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  if (auto found = r.instances.find(id); found != r.instances.end()) {
    if (auto live = found->second.lock()) return live;
  }
  auto storage = std::make_shared<HeartbeatStorage>(id, FileStorage::storageForID(id));
  r.instances[id] = storage;
  return storage;
}

HeartbeatStorage::HeartbeatStorage(std::string id, std::unique_ptr<Storage> storage)
    : id_(std::move(id)), storage_(std::move(storage)), queue_(dispatch::Queue::serial("com.heartbeat.storage." + id_)) {}

// Only a dead entry is removed: a new instance may already stand under the ID.
HeartbeatStorage::~HeartbeatStorage() {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  if (auto found = r.instances.find(id_); found != r.instances.end() && found->second.expired()) {
    r.instances.erase(found);
  }
}

void HeartbeatStorage::updateBundleSync(const Transform& transform) {
  queue_->sync([&] { saveBundle(*storage_, transform(loadBundle(*storage_))); });
}

void HeartbeatStorage::updateBundleAsync(Transform transform) {
  queue_->async([self = shared_from_this(), transform = std::move(transform)] {
    saveBundle(*self->storage_, transform(loadBundle(*self->storage_)));
  });
}

bool HeartbeatStorage::replaceBundle(const Transform& transform, std::optional<HeartbeatsBundle>* previous) {
  bool saved = false;
  queue_->sync([&] {
    std::optional<HeartbeatsBundle> loaded = loadBundle(*storage_);
    saved = saveBundle(*storage_, transform(loaded));
    if (saved && previous) *previous = std::move(loaded);
  });
  return saved;
}

}  // namespace zovcore
