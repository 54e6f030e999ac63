#include "Libraries/TelemetryFoundation/PRMObject.h"

#include <cxxabi.h>

#include <cstdlib>

#include "Libraries/TelemetryFoundation/PRMPromise.h"

PRMObject::PRMObject(ns::Value value) : storage_(std::make_shared<const ns::Value>(std::move(value))) {}

PRMObject::PRMObject(ns::Error error) : storage_(std::make_shared<const ns::Error>(std::move(error))) {}

PRMObject PRMObject::array(PRMArray items) { return PRMObject(std::make_shared<PRMArray>(std::move(items))); }

const ns::Value* PRMObject::value() const {
  const auto* held = std::get_if<std::shared_ptr<const ns::Value>>(&storage_);
  return held ? held->get() : nullptr;
}

const ns::Error* PRMObject::error() const {
  const auto* held = std::get_if<std::shared_ptr<const ns::Error>>(&storage_);
  return held ? held->get() : nullptr;
}

std::shared_ptr<PRMPromise> PRMObject::promise() const {
  const auto* held = std::get_if<std::shared_ptr<PRMPromise>>(&storage_);
  return held ? *held : nullptr;
}

const PRMArray* PRMObject::array() const {
  const auto* box = std::get_if<Object>(&storage_);
  if (!box || *box->type != typeid(PRMArray)) return nullptr;
  return static_cast<const PRMArray*>(box->pointer.get());
}

const std::type_info* PRMObject::objectType() const {
  const auto* box = std::get_if<Object>(&storage_);
  return box ? box->type : nullptr;
}

std::string PRMObject::description() const {
  switch (kind()) {
    case Kind::Null: return "(null)";
    case Kind::Value: return value()->description();
    case Kind::Error: return error()->description();
    case Kind::Promise: return promise()->description();
    case Kind::Object: break;
  }
  if (const PRMArray* items = array()) {
    std::string out = "(";
    for (size_t i = 0; i < items->size(); ++i) {
      if (i > 0) out += ", ";
      out += (*items)[i].description();
    }
    return out + ")";
  }
  const auto& box = std::get<Object>(storage_);
  return box.describe(box.pointer.get());
}

std::string PRMObject::describeByType(const std::type_info& type, const void* object) {
  return ns::format("<%@: %p>", PRMDemangledName(type), object);
}

bool PRMObject::operator==(const PRMObject& other) const {
  if (kind() != other.kind()) return false;
  switch (kind()) {
    case Kind::Null: return true;
    case Kind::Value: return *value() == *other.value();
    case Kind::Error: return *error() == *other.error();
    case Kind::Promise: return promise() == other.promise();
    case Kind::Object: break;
  }
  const PRMArray* mine = array();
  const PRMArray* theirs = other.array();
  if (mine && theirs) return *mine == *theirs;
  return std::get<Object>(storage_).pointer == std::get<Object>(other.storage_).pointer;
}

std::string PRMDemangledName(const std::type_info& type) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : type.name();
  std::free(demangled);
  return name;
}
