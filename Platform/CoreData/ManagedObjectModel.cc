#include "Platform/CoreData/ManagedObjectModel.h"

#include <map>
#include <mutex>

#include "Platform/Foundation/Error.h"

namespace cd {

namespace {

std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}

std::map<std::string, std::shared_ptr<ManagedObjectModel>>& registry() {
  static std::map<std::string, std::shared_ptr<ManagedObjectModel>> r;
  return r;
}

[[noreturn]] void invalid(const std::string& reason) {
  throw ns::Exception(ns::kInvalidArgumentException, reason);
}

}  // namespace

EntityDescription& ManagedObjectModel::addEntity(std::string name, EntityDescription::Factory factory) {
  if (validated_) invalid("model is in use and cannot be changed");
  if (name.empty() || name.front() == '_' || entity(name)) invalid("bad or duplicate entity name '" + name + "'");
  entities_.push_back(std::make_unique<EntityDescription>(std::move(name), std::move(factory), entities_.size()));
  return *entities_.back();
}

const EntityDescription* ManagedObjectModel::entity(std::string_view name) const {
  for (const auto& e : entities_) {
    if (e->name() == name) return e.get();
  }
  return nullptr;
}

void ManagedObjectModel::validate() {
  if (validated_) return;
  for (auto& e : entities_) {
    for (auto& r : e->mutableRelationships()) {
      const EntityDescription* dest = entity(r.destinationEntityName);
      if (!dest) invalid(e->name() + "." + r.name + ": unknown destination " + r.destinationEntityName);
      auto inv = dest->relationshipIndex(r.inverseName);
      if (!inv) invalid(e->name() + "." + r.name + ": missing inverse " + r.inverseName);
      const RelationshipDescription& ir = dest->relationships()[*inv];
      if (ir.destinationEntityName != e->name() || ir.inverseName != r.name) {
        invalid(e->name() + "." + r.name + ": inverse does not point back");
      }
      // Stored as a key column on the to-one side; many-to-many has no column.
      if (r.toMany && ir.toMany) invalid(e->name() + "." + r.name + ": many-to-many is not supported");
      r.destination = dest;
      r.inverseIndex = *inv;
    }
  }
  validated_ = true;
}

void ManagedObjectModel::registerModel(const std::string& name, std::shared_ptr<ManagedObjectModel> model) {
  std::lock_guard<std::mutex> lock(registryMutex());
  registry()[name] = std::move(model);
}

std::shared_ptr<ManagedObjectModel> ManagedObjectModel::named(const std::string& name) {
  std::lock_guard<std::mutex> lock(registryMutex());
  auto it = registry().find(name);
  return it == registry().end() ? nullptr : it->second;
}

}  // namespace cd
