// A model: the entities of a store, defined in code. A model is built once,
// then validated (relationships resolved against their destinations and
// inverses) and shared, unchanged, by coordinators and contexts.
//
// Models can be registered under a name so that a container created by name
// finds its model, as the platform finds a compiled model in the bundle.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/CoreData/EntityDescription.h"

namespace cd {

class ManagedObjectModel {
 public:
  ManagedObjectModel() = default;
  ManagedObjectModel(const ManagedObjectModel&) = delete;
  ManagedObjectModel& operator=(const ManagedObjectModel&) = delete;

  // Adds an entity; `factory` makes instances of its class (nullptr: plain
  // cd::ManagedObject). Throws ns::Exception once the model was validated.
  EntityDescription& addEntity(std::string name, EntityDescription::Factory factory = nullptr);

  template <class T>
  EntityDescription& addEntity(std::string name) {
    return addEntity(std::move(name), [] { return std::make_shared<T>(); });
  }

  const EntityDescription* entity(std::string_view name) const;
  const std::vector<std::unique_ptr<EntityDescription>>& entities() const { return entities_; }

  // Resolves destinations and inverses; throws ns::Exception for a model
  // that cannot work (unknown destination, missing or mismatched inverse,
  // a to-many whose inverse is not to-one). Idempotent.
  void validate();
  bool isValidated() const { return validated_; }

  // Registry of named models.
  static void registerModel(const std::string& name, std::shared_ptr<ManagedObjectModel> model);
  static std::shared_ptr<ManagedObjectModel> named(const std::string& name);

 private:
  std::vector<std::unique_ptr<EntityDescription>> entities_;
  bool validated_ = false;
};

}  // namespace cd
