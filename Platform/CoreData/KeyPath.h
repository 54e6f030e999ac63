// A key path resolved against an entity once ("folder.displayOrder": the
// to-one "folder", then its attribute "displayOrder"), so that predicates
// and sorts read values without looking names up per object.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Platform/CoreData/ManagedObject.h"

namespace cd {

class KeyPath {
 public:
  // Throws ns::Exception for a key that the entities do not have, or for a
  // to-many relationship along the way.
  KeyPath(const EntityDescription& entity, std::string_view path);

  const std::string& path() const { return path_; }
  // One step naming an attribute, or a to-one relationship.
  bool isSingleAttribute() const { return steps_.size() == 1 && !steps_[0].relationship; }
  bool isSingleToOne() const { return steps_.size() == 1 && steps_[0].relationship; }
  // The attribute or relationship of a single step.
  size_t firstIndex() const { return steps_[0].index; }
  const EntityDescription& entity() const { return *entity_; }

  KeyPathValue evaluate(const ManagedObject& object) const;
  // The stored value of the object's plain (not transformable) attribute
  // `name`, without copying it; null for any other key, which `evaluate`
  // of a KeyPath answers instead.
  static const ns::Value* attributeValue(const ManagedObject& object, std::string_view name);

 private:
  struct Step {
    bool relationship;
    size_t index;
  };
  const EntityDescription* entity_;
  std::string path_;
  std::vector<Step> steps_;
};

}  // namespace cd
