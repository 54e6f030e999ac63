// The identity of an object of a store, as a small value: its entity, the
// store's identifier and its primary key there. Objects inserted and not
// yet saved have a temporary ID instead, which is replaced on save.
//
// URI form of a permanent ID: "x-quillbox-object://<store identifier>/<entity>/p<key>";
// a temporary one has no store: "x-quillbox-object:///<entity>/t<number>".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace cd {

class EntityDescription;

class ManagedObjectID {
 public:
  ManagedObjectID() = default;

  static ManagedObjectID permanent(const EntityDescription* entity, const std::string& storeIdentifier,
                                   int64_t primaryKey);
  // The same with a store identifier from internStoreIdentifier (no lookup).
  static ManagedObjectID permanent(const EntityDescription* entity, const std::string* internedStore,
                                   int64_t primaryKey);
  static ManagedObjectID temporary(const EntityDescription* entity);
  // One shared copy per distinct identifier, alive for the whole process.
  static const std::string* internStoreIdentifier(const std::string& identifier);

  bool isValid() const { return entity_ != nullptr; }
  const EntityDescription* entity() const { return entity_; }
  bool isTemporaryID() const { return key_ <= 0; }
  // Empty for a temporary ID.
  const std::string& storeIdentifier() const;
  // The identifier as internStoreIdentifier returns it; null for a temporary ID.
  const std::string* internedStoreIdentifier() const { return store_; }
  // 0 for a temporary ID.
  int64_t primaryKey() const { return key_ > 0 ? key_ : 0; }

  std::string URIRepresentation() const;

  bool operator==(const ManagedObjectID& other) const {
    return entity_ == other.entity_ && key_ == other.key_ && store_ == other.store_;
  }
  size_t hash() const;

 private:
  const EntityDescription* entity_ = nullptr;
  const std::string* store_ = nullptr;  // interned; null for temporary IDs
  int64_t key_ = 0;                     // > 0 primary key; <= 0 minus the temporary number
};

// The URI scheme of object IDs.
inline constexpr const char* kObjectURIScheme = "x-quillbox-object";

}  // namespace cd

template <>
struct std::hash<cd::ManagedObjectID> {
  size_t operator()(const cd::ManagedObjectID& id) const { return id.hash(); }
};
