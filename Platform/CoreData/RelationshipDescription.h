// One relationship of an entity: to-one or to-many, with its inverse and the
// rule applied to the related objects when the owner is deleted.
#pragma once

#include <cstddef>
#include <string>

namespace cd {

class EntityDescription;

enum class DeleteRule {
  Nullify,  // the related objects forget the deleted one
  Cascade,  // the related objects are deleted too
};

struct RelationshipDescription {
  std::string name;
  std::string destinationEntityName;
  std::string inverseName;
  bool toMany = false;
  DeleteRule deleteRule = DeleteRule::Nullify;

  // Resolved when the model is validated.
  const EntityDescription* destination = nullptr;
  size_t inverseIndex = 0;
};

}  // namespace cd
