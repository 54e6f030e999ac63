#include "Libraries/TelemetryFoundation/PromiseConversion.h"

#include "Libraries/TelemetryFoundation/PRMAssert.h"

namespace Promises {

std::optional<PRMArray> arrayEntries(const PRMObject& object) {
  if (const PRMArray* items = object.array()) return *items;
  const ns::Value* value = object.value();
  if (!value || !value->isArray()) return std::nullopt;
  PRMArray items;
  items.reserve(value->asArray()->size());
  for (const auto& item : *value->asArray()) items.emplace_back(item);
  return items;
}

std::string unqualifiedName(const std::string& name) {
  size_t start = 0;
  int depth = 0;
  for (size_t i = 0; i + 1 < name.size(); ++i) {
    char c = name[i];
    if (c == '<' || c == '(') ++depth;
    if (c == '>' || c == ')') --depth;
    if (depth == 0 && c == ':' && name[i + 1] == ':') start = i + 2;
  }
  return name.substr(start);
}

std::string objectTypeName(const PRMObject& object) {
  static const char* const kValueTypes[] = {"Null",   "Bool", "Integer", "Real",      "String",
                                            "Data",   "Date", "Array",   "Dictionary"};
  switch (object.kind()) {
    case PRMObject::Kind::Null: return "null";
    case PRMObject::Kind::Value: return kValueTypes[static_cast<int>(object.value()->type())];
    case PRMObject::Kind::Object: return PRMDemangledName(*object.objectType());
    case PRMObject::Kind::Error: return "ns::Error";
    case PRMObject::Kind::Promise: return "PRMPromise";
  }
  return "?";
}

void conversionFailure(const PRMObject& object, const std::string& valueType) {
  PRMAssertionFailure("Promises::Promise", "a promise of " + valueType + " holds a value of type " +
                                               objectTypeName(object) + ": " + object.description());
}

}  // namespace Promises
