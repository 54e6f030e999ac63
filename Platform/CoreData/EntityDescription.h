// An entity of a model: its name, attributes, relationships and the factory
// that makes instances of its class (a subclass of cd::ManagedObject).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Platform/CoreData/AttributeDescription.h"
#include "Platform/CoreData/RelationshipDescription.h"

namespace cd {

class ManagedObject;
class ManagedObjectModel;

class EntityDescription {
 public:
  using Factory = std::function<std::shared_ptr<ManagedObject>()>;

  EntityDescription(std::string name, Factory factory, size_t index);

  const std::string& name() const { return name_; }
  // Position of the entity in its model.
  size_t index() const { return index_; }

  EntityDescription& addAttribute(AttributeDescription attribute);
  EntityDescription& addAttribute(std::string name, AttributeType type,
                                  std::string valueTransformerName = {});
  EntityDescription& addRelationship(RelationshipDescription relationship);
  EntityDescription& addToOne(std::string name, std::string destination, std::string inverse,
                              DeleteRule rule = DeleteRule::Nullify);
  EntityDescription& addToMany(std::string name, std::string destination, std::string inverse,
                               DeleteRule rule = DeleteRule::Nullify);

  const std::vector<AttributeDescription>& attributes() const { return attributes_; }
  const std::vector<RelationshipDescription>& relationships() const { return relationships_; }
  std::vector<RelationshipDescription>& mutableRelationships() { return relationships_; }

  std::optional<size_t> attributeIndex(std::string_view name) const;
  std::optional<size_t> relationshipIndex(std::string_view name) const;

  // A new, unregistered instance of the entity's class.
  std::shared_ptr<ManagedObject> makeObject() const;

 private:
  // Up to this many attributes (or relationships) are found by comparing
  // names in order; more, through the index.
  static constexpr size_t kScannedProperties = 16;

  std::string name_;
  Factory factory_;
  size_t index_;
  std::vector<AttributeDescription> attributes_;
  std::vector<RelationshipDescription> relationships_;
  std::unordered_map<std::string, size_t> attributeIndex_;
  std::unordered_map<std::string, size_t> relationshipIndex_;
};

}  // namespace cd
