// One typed attribute of an entity. Transformable attributes keep an object
// in memory and are stored as the data of a named value transformer.
#pragma once

#include <string>

#include "Platform/Foundation/Value.h"

namespace cd {

enum class AttributeType {
  String,         // ns::Value string
  Integer32,      // ns::Value integer, kept in the 32-bit signed range
  Date,           // ns::Value date
  Binary,         // ns::Value data
  Transformable,  // any object; stored as the data of valueTransformerName
};

// The name a type has in a store's recorded schema.
const char* attributeTypeName(AttributeType type);

struct AttributeDescription {
  std::string name;
  AttributeType type = AttributeType::String;
  bool optional = true;
  // Transformable only: the name under which the transformer is registered.
  std::string valueTransformerName;
  // Value of a newly inserted object (null: nil).
  ns::Value defaultValue;
  // The store keeps an index of the attribute, so fetches filtering by it
  // read no other row; stores made before gain it when next opened.
  bool indexed = false;
};

}  // namespace cd
