#include "Platform/Runtime/Runtime.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

namespace rt {
namespace {

struct ClassTable {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<Class>, std::less<>> classes;
};

// Made on first use and never destroyed: classes register from static
// initialisers, in any order, and may be looked up during exit.
ClassTable& classTable() {
  static ClassTable* table = new ClassTable();
  return *table;
}

}  // namespace

bool Class::respondsToSelector(std::string_view selector) const {
  return std::find(operations_.begin(), operations_.end(), selector) != operations_.end();
}

IMP Class::ownMethod(std::string_view selector, MethodKind kind) const {
  std::lock_guard lock(methodsMutex_);
  const auto& methods = kind == MethodKind::Instance ? instanceMethods_ : classMethods_;
  auto found = methods.find(selector);
  return found == methods.end() ? nullptr : found->second;
}

IMP Class::setMethod(std::string selector, IMP imp, MethodKind kind) {
  std::lock_guard lock(methodsMutex_);
  auto& methods = kind == MethodKind::Instance ? instanceMethods_ : classMethods_;
  auto found = methods.find(selector);
  IMP previous = found == methods.end() ? nullptr : found->second;
  if (imp) {
    methods.insert_or_assign(std::move(selector), std::move(imp));
  } else if (found != methods.end()) {
    methods.erase(found);
  }
  return previous;
}

IMP methodImplementation(const Class& cls, std::string_view selector, MethodKind kind) {
  if (IMP own = cls.ownMethod(selector, kind)) return own;
  // Superclasses hold their own classes alive while we look; a chain that
  // loops back on itself ends the walk.
  std::vector<std::string> seen{cls.name()};
  std::string next = cls.superclassName();
  while (!next.empty() && std::find(seen.begin(), seen.end(), next) == seen.end()) {
    std::shared_ptr<Class> super = classFromString(next);
    if (!super) return nullptr;
    if (IMP found = super->ownMethod(selector, kind)) return found;
    seen.push_back(next);
    next = super->superclassName();
  }
  return nullptr;
}

std::string classNameOf(const std::type_info& type) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : type.name();
  std::free(demangled);
  size_t scope = name.rfind("::");
  return scope == std::string::npos ? name : name.substr(scope + 2);
}

void registerClass(std::shared_ptr<Class> cls) {
  if (!cls) return;
  ClassTable& table = classTable();
  std::lock_guard lock(table.mutex);
  std::string name = cls->name();
  table.classes[name] = std::move(cls);
}

void unregisterClass(std::string_view name) {
  ClassTable& table = classTable();
  std::lock_guard lock(table.mutex);
  if (auto found = table.classes.find(name); found != table.classes.end()) table.classes.erase(found);
}

std::shared_ptr<Class> classFromString(std::string_view name) {
  ClassTable& table = classTable();
  std::lock_guard lock(table.mutex);
  auto found = table.classes.find(name);
  return found == table.classes.end() ? nullptr : found->second;
}

}  // namespace rt
