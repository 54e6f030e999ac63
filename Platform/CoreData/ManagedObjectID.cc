#include "Platform/CoreData/ManagedObjectID.h"

#include <atomic>
#include <charconv>
#include <mutex>
#include <unordered_set>

#include "Platform/CoreData/EntityDescription.h"

namespace cd {

namespace {

// Store identifiers are few and live as long as the process, so IDs carry a
// pointer to one shared copy and compare it by address.
const std::string* intern(const std::string& s) {
  static std::mutex m;
  static std::unordered_set<std::string> strings;
  std::lock_guard<std::mutex> lock(m);
  return &*strings.insert(s).first;
}

const std::string& emptyString() {
  static const std::string empty;
  return empty;
}

}  // namespace

ManagedObjectID ManagedObjectID::permanent(const EntityDescription* entity, const std::string& storeIdentifier,
                                           int64_t primaryKey) {
  ManagedObjectID id;
  id.entity_ = entity;
  id.store_ = intern(storeIdentifier);
  id.key_ = primaryKey;
  return id;
}

ManagedObjectID ManagedObjectID::permanent(const EntityDescription* entity, const std::string* internedStore,
                                           int64_t primaryKey) {
  ManagedObjectID id;
  id.entity_ = entity;
  id.store_ = internedStore;
  id.key_ = primaryKey;
  return id;
}

const std::string* ManagedObjectID::internStoreIdentifier(const std::string& identifier) { return intern(identifier); }

ManagedObjectID ManagedObjectID::temporary(const EntityDescription* entity) {
  static std::atomic<int64_t> next{1};
  ManagedObjectID id;
  id.entity_ = entity;
  id.key_ = -next.fetch_add(1);
  return id;
}

const std::string& ManagedObjectID::storeIdentifier() const { return store_ ? *store_ : emptyString(); }

std::string ManagedObjectID::URIRepresentation() const {
  if (!entity_) return {};
  // Built in one buffer: a save names every object it wrote this way.
  const std::string& store = storeIdentifier();
  const std::string& entity = entity_->name();
  std::string uri;
  uri.reserve(std::char_traits<char>::length(kObjectURIScheme) + store.size() + entity.size() + 32);
  uri.append(kObjectURIScheme).append("://").append(store).append("/").append(entity).append("/");
  uri += isTemporaryID() ? 't' : 'p';
  char digits[24];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, isTemporaryID() ? -key_ : key_);
  uri.append(digits, end);
  return uri;
}

size_t ManagedObjectID::hash() const {
  size_t h = std::hash<int64_t>()(key_);
  h ^= std::hash<const void*>()(entity_) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  h ^= std::hash<const void*>()(store_) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  return h;
}

}  // namespace cd
