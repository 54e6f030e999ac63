// An object of the store: an instance of an entity, living in one context.
//
// Attributes are read and written by name as ns::Value (null is nil);
// transformable attributes hold any object (std::any, empty is nil).
// Relationships hold other objects of the same context; setting one side
// keeps the inverse side in step, as the platform does. An object fetched
// as a reference only (a fault) loads its row on first access.
//
// Subclasses (the notes entities) add typed accessors on top of these.
// An object is used on its context's queue only.
#pragma once

#include <algorithm>
#include <any>
#include <cstdint>
#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "Platform/CoreData/EntityDescription.h"
#include "Platform/CoreData/ManagedObjectID.h"
#include "Platform/CoreData/ToManySet.h"
#include "Platform/Foundation/Value.h"

namespace cd {

class ManagedObjectContext;
struct StoreRow;

// What a key path yields: an attribute value, or an object for a to-one
// relationship (value null then); both empty for nil.
struct KeyPathValue {
  ns::Value value;
  const class ManagedObject* object = nullptr;
  bool isObject = false;
};

class ManagedObject : public std::enable_shared_from_this<ManagedObject> {
 public:
  ManagedObject() = default;
  ManagedObject(const ManagedObject&) = delete;
  ManagedObject& operator=(const ManagedObject&) = delete;
  virtual ~ManagedObject();

  const EntityDescription& entity() const { return *entity_; }
  const ManagedObjectID& objectID() const { return id_; }
  // The context the object lives in; null once its deletion was saved or
  // its context is gone.
  ManagedObjectContext* managedObjectContext() const { return context_; }

  bool isInserted() const { return inserted_; }
  bool isUpdated() const { return updated_; }
  bool isDeleted() const { return deleted_; }
  bool isFault() const { return fault_; }
  bool hasChanges() const { return inserted_ || updated_ || deleted_; }

  // Attributes. Unknown keys and values of the wrong type are programming
  // errors (ns::Exception). Integer32 values are truncated to 32 bits.
  ns::Value value(std::string_view key) const;
  void setValue(std::string_view key, ns::Value value);
  std::any transformable(std::string_view key) const;
  void setTransformable(std::string_view key, std::any value);
  // A transformable's bytes as the store holds them, not decoded (and not
  // kept decoded); nullopt when it holds none or a value set since has not
  // been saved.
  std::optional<ns::Data> transformableData(std::string_view key) const;

  // To-one relationships.
  std::shared_ptr<ManagedObject> object(std::string_view key) const;
  void setObject(std::string_view key, const std::shared_ptr<ManagedObject>& value);
  template <class T>
  std::shared_ptr<T> objectAs(std::string_view key) const {
    return std::dynamic_pointer_cast<T>(object(key));
  }

  // To-many relationships (unordered; the order is the order of arrival).
  std::vector<std::shared_ptr<ManagedObject>> objects(std::string_view key) const;
  // The number of members, counted by the store unless they are loaded.
  size_t countOfObjects(std::string_view key) const;
  void addObject(std::string_view key, const std::shared_ptr<ManagedObject>& value);
  void removeObject(std::string_view key, const std::shared_ptr<ManagedObject>& value);

  // "displayOrder", "folder", "folder.displayOrder": attributes and to-one
  // hops. An unknown key is a programming error.
  KeyPathValue valueForKeyPath(std::string_view keyPath) const;

 private:
  friend class ManagedObjectContext;
  friend class KeyPath;

  struct Attribute {
    ns::Value value;  // plain value; for a transformable, its stored data until decoded
    std::any object;  // a transformable's object once decoded or set
    bool decoded = false;
  };
  // One bit per property; no allocation for entities of up to 64 properties.
  class PropertyMask {
   public:
    void reset(size_t count) {
      bits_ = 0;
      more_.assign(count > 64 ? count - 64 : 0, false);
    }
    bool test(size_t i) const { return i < 64 ? (bits_ >> i) & 1 : more_[i - 64]; }
    void set(size_t i) {
      if (i < 64) {
        bits_ |= uint64_t{1} << i;
      } else {
        more_[i - 64] = true;
      }
    }
    void clear() {
      bits_ = 0;
      std::fill(more_.begin(), more_.end(), false);
    }

   private:
    uint64_t bits_ = 0;
    std::vector<bool> more_;
  };
  using ToMany = ToManySet;

  void setUp(const EntityDescription* entity, ManagedObjectContext* context, ManagedObjectID id, bool fault);
  void fireFault() const;
  size_t attributeIndexOrThrow(std::string_view key) const;
  size_t relationshipIndexOrThrow(std::string_view key, bool toMany) const;
  void markChanged(size_t property);
  void checkSameContext(const ManagedObject* other) const;
  // Relationship edits; `track` marks the touched objects as changed.
  void setToOne(size_t relationship, ManagedObject* target, bool track);
  void linkToMany(size_t relationship, ManagedObject* member, bool track);
  void unlinkToMany(size_t relationship, ManagedObject* member, bool track);
  const ToMany& loadedToMany(size_t relationship) const;
  const Attribute& attribute(size_t index) const;

  const EntityDescription* entity_ = nullptr;
  ManagedObjectContext* context_ = nullptr;
  ManagedObjectID id_;
  bool fault_ = false;
  bool inserted_ = false;
  bool updated_ = false;
  bool deleted_ = false;
  bool pendingInserted_ = false;  // reported to observers at the next processPendingChanges
  bool pendingUpdated_ = false;
  bool missing_ = false;          // a fault whose row is gone
  // The objects of a fetch's batch that are loaded together when the first
  // of them is touched; shared by the batch's faults, dropped once loaded.
  std::shared_ptr<std::vector<std::weak_ptr<ManagedObject>>> faultBatch_;
  int64_t newKey_ = 0;            // the row key reserved while a save runs
  std::vector<Attribute> attributes_;
  std::vector<ManagedObject*> toOne_;  // per relationship; unused for to-many
  std::vector<ToMany> toMany_;         // per relationship; unused for to-one
  PropertyMask changed_;               // per property (attributes, then relationships) since the last save
};

}  // namespace cd
