#include "Platform/CoreData/KeyPath.h"

#include "Platform/Foundation/Error.h"

namespace cd {

KeyPath::KeyPath(const EntityDescription& entity, std::string_view path) : entity_(&entity), path_(path) {
  const EntityDescription* current = &entity;
  size_t start = 0;
  while (true) {
    size_t dot = path.find('.', start);
    std::string_view key = path.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (!current) {
      throw ns::Exception(ns::kInvalidArgumentException, "key path " + path_ + " continues past an attribute");
    }
    if (auto a = current->attributeIndex(key)) {
      steps_.push_back({false, *a});
      current = nullptr;
    } else if (auto r = current->relationshipIndex(key)) {
      const RelationshipDescription& rel = current->relationships()[*r];
      if (rel.toMany) {
        throw ns::Exception(ns::kInvalidArgumentException, "key path " + path_ + " crosses a to-many relationship");
      }
      steps_.push_back({true, *r});
      current = rel.destination;
    } else {
      throw ns::Exception(ns::kInvalidArgumentException,
                          "entity " + current->name() + " has no key " + std::string(key) + " (key path " + path_ + ")");
    }
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
}

KeyPathValue KeyPath::evaluate(const ManagedObject& object) const {
  const ManagedObject* current = &object;
  KeyPathValue result;
  for (const Step& step : steps_) {
    if (!current) return KeyPathValue{};
    current->fireFault();
    if (step.relationship) {
      current = current->toOne_[step.index];
      result = KeyPathValue{ns::Value(), current, true};
    } else {
      const ManagedObject::Attribute& a = current->attributes_[step.index];
      if (current->entity_->attributes()[step.index].type == AttributeType::Transformable) return KeyPathValue{};
      return KeyPathValue{a.value, nullptr, false};
    }
  }
  if (!result.object) result.isObject = false;
  return result;
}

const ns::Value* KeyPath::attributeValue(const ManagedObject& object, std::string_view name) {
  auto index = object.entity_->attributeIndex(name);
  if (!index || object.entity_->attributes()[*index].type == AttributeType::Transformable) return nullptr;
  object.fireFault();
  return &object.attributes_[*index].value;
}

}  // namespace cd
