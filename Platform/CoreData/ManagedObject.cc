#include "Platform/CoreData/ManagedObject.h"

#include <algorithm>

#include "Platform/CoreData/KeyPath.h"
#include "Platform/CoreData/ManagedObjectContext.h"
#include "Platform/CoreData/ValueTransformer.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Range.h"

namespace cd {

namespace {

[[noreturn]] void unknownKey(const EntityDescription* entity, std::string_view key, const char* what) {
  throw ns::Exception("NSUnknownKeyException", "entity " + (entity ? entity->name() : std::string("(none)")) +
                                                   " has no " + what + " named " + std::string(key));
}

bool valueFitsType(AttributeType type, const ns::Value& v) {
  if (v.isNull()) return true;
  switch (type) {
    case AttributeType::String: return v.isString();
    case AttributeType::Integer32: return v.isNumber();
    case AttributeType::Date: return v.isDate();
    case AttributeType::Binary: return v.isData();
    case AttributeType::Transformable: return false;
  }
  return false;
}

}  // namespace

ManagedObject::~ManagedObject() = default;

void ManagedObject::setUp(const EntityDescription* entity, ManagedObjectContext* context, ManagedObjectID id,
                          bool fault) {
  entity_ = entity;
  context_ = context;
  id_ = id;
  fault_ = fault;
  // Made empty in place: a fetch sets up every object it reads.
  attributes_.clear();
  attributes_.resize(entity->attributes().size());
  toOne_.assign(entity->relationships().size(), nullptr);
  toMany_.clear();
  toMany_.resize(entity->relationships().size());
  changed_.reset(entity->attributes().size() + entity->relationships().size());
}

void ManagedObject::fireFault() const {
  if (fault_ && context_) context_->fulfillFault(const_cast<ManagedObject*>(this));
}

size_t ManagedObject::attributeIndexOrThrow(std::string_view key) const {
  if (!entity_) unknownKey(entity_, key, "attribute");
  auto index = entity_->attributeIndex(key);
  if (!index) unknownKey(entity_, key, "attribute");
  return *index;
}

size_t ManagedObject::relationshipIndexOrThrow(std::string_view key, bool toMany) const {
  if (!entity_) unknownKey(entity_, key, "relationship");
  auto index = entity_->relationshipIndex(key);
  if (!index || entity_->relationships()[*index].toMany != toMany) {
    unknownKey(entity_, key, toMany ? "to-many relationship" : "to-one relationship");
  }
  return *index;
}

const ManagedObject::Attribute& ManagedObject::attribute(size_t index) const {
  fireFault();
  return attributes_[index];
}

void ManagedObject::markChanged(size_t property) {
  changed_.set(property);
  if (context_) context_->objectDidChange(this);
}

ns::Value ManagedObject::value(std::string_view key) const {
  size_t i = attributeIndexOrThrow(key);
  if (entity_->attributes()[i].type == AttributeType::Transformable) {
    throw ns::Exception(ns::kInvalidArgumentException, "attribute " + std::string(key) + " is transformable");
  }
  return attribute(i).value;
}

void ManagedObject::setValue(std::string_view key, ns::Value value) {
  size_t i = attributeIndexOrThrow(key);
  const AttributeDescription& description = entity_->attributes()[i];
  if (!valueFitsType(description.type, value)) {
    throw ns::Exception(ns::kInvalidArgumentException,
                        "wrong type of value for " + entity_->name() + "." + description.name);
  }
  if (description.type == AttributeType::Integer32 && !value.isNull()) {
    value = ns::Value(static_cast<int64_t>(static_cast<int32_t>(value.integerValue())));
  }
  fireFault();
  Attribute& a = attributes_[i];
  // Setting the value it already has is no change.
  if (a.value.isNull() == value.isNull() && a.value == value) return;
  a.value = std::move(value);
  markChanged(i);
}

std::any ManagedObject::transformable(std::string_view key) const {
  size_t i = attributeIndexOrThrow(key);
  const AttributeDescription& description = entity_->attributes()[i];
  if (description.type != AttributeType::Transformable) {
    throw ns::Exception(ns::kInvalidArgumentException, "attribute " + std::string(key) + " is not transformable");
  }
  fireFault();
  Attribute& a = const_cast<Attribute&>(attributes_[i]);
  if (!a.decoded) {
    a.decoded = true;
    a.object.reset();
    if (a.value.isData()) {
      auto transformer = ValueTransformer::valueTransformerForName(description.valueTransformerName);
      if (transformer) a.object = transformer->reverseTransformedValue(std::any(*a.value.asData()));
    }
  }
  return a.object;
}

std::optional<ns::Data> ManagedObject::transformableData(std::string_view key) const {
  size_t i = attributeIndexOrThrow(key);
  if (entity_->attributes()[i].type != AttributeType::Transformable) {
    throw ns::Exception(ns::kInvalidArgumentException, "attribute " + std::string(key) + " is not transformable");
  }
  fireFault();
  const Attribute& a = attributes_[i];
  if (!a.value.isData()) return std::nullopt;
  return *a.value.asData();
}

void ManagedObject::setTransformable(std::string_view key, std::any value) {
  size_t i = attributeIndexOrThrow(key);
  if (entity_->attributes()[i].type != AttributeType::Transformable) {
    throw ns::Exception(ns::kInvalidArgumentException, "attribute " + std::string(key) + " is not transformable");
  }
  fireFault();
  Attribute& a = attributes_[i];
  a.object = std::move(value);
  a.decoded = true;
  a.value = ns::Value();  // encoded again when saved
  markChanged(i);
}

std::shared_ptr<ManagedObject> ManagedObject::object(std::string_view key) const {
  size_t r = relationshipIndexOrThrow(key, false);
  fireFault();
  ManagedObject* target = toOne_[r];
  return target ? target->shared_from_this() : nullptr;
}

void ManagedObject::checkSameContext(const ManagedObject* other) const {
  if (other && other->context_ != context_) {
    throw ns::Exception(ns::kInvalidArgumentException,
                        "illegal relationship between objects in different contexts");
  }
}

void ManagedObject::setObject(std::string_view key, const std::shared_ptr<ManagedObject>& value) {
  size_t r = relationshipIndexOrThrow(key, false);
  checkSameContext(value.get());
  if (value && &value->entity() != entity_->relationships()[r].destination) {
    throw ns::Exception(ns::kInvalidArgumentException, "wrong entity for relationship " + std::string(key));
  }
  fireFault();
  setToOne(r, value.get(), true);
}

void ManagedObject::setToOne(size_t r, ManagedObject* target, bool track) {
  ManagedObject* old = toOne_[r];
  if (old == target) return;
  const RelationshipDescription& rel = entity_->relationships()[r];
  size_t inverse = rel.inverseIndex;
  bool inverseToMany = rel.destination->relationships()[inverse].toMany;
  if (old) {
    if (inverseToMany) {
      old->unlinkToMany(inverse, this, track);
    } else {
      old->fireFault();
      if (old->toOne_[inverse] == this) {
        old->toOne_[inverse] = nullptr;
        if (track) old->markChanged(old->entity_->attributes().size() + inverse);
      }
    }
  }
  toOne_[r] = target;
  if (track) markChanged(entity_->attributes().size() + r);
  if (target) {
    if (inverseToMany) {
      target->linkToMany(inverse, this, track);
    } else {
      target->fireFault();
      ManagedObject* partner = target->toOne_[inverse];
      if (partner && partner != this) {
        partner->toOne_[r] = nullptr;
        if (track) partner->markChanged(partner->entity_->attributes().size() + r);
      }
      target->toOne_[inverse] = this;
      if (track) target->markChanged(target->entity_->attributes().size() + inverse);
    }
  }
}

void ManagedObject::linkToMany(size_t r, ManagedObject* member, bool track) {
  ToMany& set = toMany_[r];
  if (set.loaded) set.add(member);
  if (track) markChanged(entity_->attributes().size() + r);
}

void ManagedObject::unlinkToMany(size_t r, ManagedObject* member, bool track) {
  toMany_[r].remove(member);
  if (track) markChanged(entity_->attributes().size() + r);
}

const ManagedObject::ToMany& ManagedObject::loadedToMany(size_t r) const {
  fireFault();
  if (!toMany_[r].loaded && context_) context_->loadToMany(const_cast<ManagedObject*>(this), r);
  return toMany_[r];
}

std::vector<std::shared_ptr<ManagedObject>> ManagedObject::objects(std::string_view key) const {
  size_t r = relationshipIndexOrThrow(key, true);
  std::vector<std::shared_ptr<ManagedObject>> result;
  const auto& members = loadedToMany(r).members();
  result.reserve(members.size());
  for (ManagedObject* o : members) result.push_back(o->shared_from_this());
  return result;
}

size_t ManagedObject::countOfObjects(std::string_view key) const {
  size_t r = relationshipIndexOrThrow(key, true);
  fireFault();
  // Counting needs no member made into an object: the store counts.
  if (!toMany_[r].loaded && context_) {
    size_t n = context_->countToMany(this, r);
    if (n != ns::kNotFound) return n;
  }
  return loadedToMany(r).size();
}

void ManagedObject::addObject(std::string_view key, const std::shared_ptr<ManagedObject>& value) {
  size_t r = relationshipIndexOrThrow(key, true);
  if (!value) return;
  checkSameContext(value.get());
  const RelationshipDescription& rel = entity_->relationships()[r];
  if (&value->entity() != rel.destination) {
    throw ns::Exception(ns::kInvalidArgumentException, "wrong entity for relationship " + std::string(key));
  }
  loadedToMany(r);
  value->fireFault();
  value->setToOne(rel.inverseIndex, this, true);
}

void ManagedObject::removeObject(std::string_view key, const std::shared_ptr<ManagedObject>& value) {
  size_t r = relationshipIndexOrThrow(key, true);
  if (!value) return;
  const RelationshipDescription& rel = entity_->relationships()[r];
  value->fireFault();
  if (value->toOne_[rel.inverseIndex] == this) value->setToOne(rel.inverseIndex, nullptr, true);
}

KeyPathValue ManagedObject::valueForKeyPath(std::string_view keyPath) const {
  return KeyPath(*entity_, keyPath).evaluate(*this);
}

}  // namespace cd
