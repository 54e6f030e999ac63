#include "Platform/CoreData/EntityDescription.h"

#include "Platform/CoreData/ManagedObject.h"
#include "Platform/Foundation/Error.h"

namespace cd {

const char* attributeTypeName(AttributeType type) {
  switch (type) {
    case AttributeType::String: return "string";
    case AttributeType::Integer32: return "integer32";
    case AttributeType::Date: return "date";
    case AttributeType::Binary: return "binary";
    case AttributeType::Transformable: return "transformable";
  }
  return "unknown";
}

EntityDescription::EntityDescription(std::string name, Factory factory, size_t index)
    : name_(std::move(name)), factory_(std::move(factory)), index_(index) {}

static void checkNewName(const EntityDescription& entity, const std::string& name) {
  if (name.empty() || name.front() == '_' || entity.attributeIndex(name) ||
      entity.relationshipIndex(name)) {
    throw ns::Exception(ns::kInvalidArgumentException,
                        "bad or duplicate property name '" + name + "' in entity " + entity.name());
  }
}

EntityDescription& EntityDescription::addAttribute(AttributeDescription attribute) {
  checkNewName(*this, attribute.name);
  attributeIndex_[attribute.name] = attributes_.size();
  attributes_.push_back(std::move(attribute));
  return *this;
}

EntityDescription& EntityDescription::addAttribute(std::string name, AttributeType type,
                                                   std::string valueTransformerName) {
  AttributeDescription a;
  a.name = std::move(name);
  a.type = type;
  a.valueTransformerName = std::move(valueTransformerName);
  return addAttribute(std::move(a));
}

EntityDescription& EntityDescription::addRelationship(RelationshipDescription relationship) {
  checkNewName(*this, relationship.name);
  relationshipIndex_[relationship.name] = relationships_.size();
  relationships_.push_back(std::move(relationship));
  return *this;
}

EntityDescription& EntityDescription::addToOne(std::string name, std::string destination,
                                               std::string inverse, DeleteRule rule) {
  RelationshipDescription r;
  r.name = std::move(name);
  r.destinationEntityName = std::move(destination);
  r.inverseName = std::move(inverse);
  r.deleteRule = rule;
  return addRelationship(std::move(r));
}

EntityDescription& EntityDescription::addToMany(std::string name, std::string destination,
                                                std::string inverse, DeleteRule rule) {
  RelationshipDescription r;
  r.name = std::move(name);
  r.destinationEntityName = std::move(destination);
  r.inverseName = std::move(inverse);
  r.toMany = true;
  r.deleteRule = rule;
  return addRelationship(std::move(r));
}

std::optional<size_t> EntityDescription::attributeIndex(std::string_view name) const {
  // Every value read or set by name comes here: a few names are compared
  // faster than one is hashed.
  if (attributes_.size() <= kScannedProperties) {
    for (size_t i = 0; i < attributes_.size(); ++i) {
      if (attributes_[i].name == name) return i;
    }
    return std::nullopt;
  }
  auto it = attributeIndex_.find(std::string(name));
  if (it == attributeIndex_.end()) return std::nullopt;
  return it->second;
}

std::optional<size_t> EntityDescription::relationshipIndex(std::string_view name) const {
  if (relationships_.size() <= kScannedProperties) {
    for (size_t i = 0; i < relationships_.size(); ++i) {
      if (relationships_[i].name == name) return i;
    }
    return std::nullopt;
  }
  auto it = relationshipIndex_.find(std::string(name));
  if (it == relationshipIndex_.end()) return std::nullopt;
  return it->second;
}

std::shared_ptr<ManagedObject> EntityDescription::makeObject() const {
  if (factory_) return factory_();
  return std::make_shared<ManagedObject>();
}

}  // namespace cd
