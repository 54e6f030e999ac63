#include "Platform/Runtime/Runtime.h"

#include <algorithm>
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

void registerClass(std::shared_ptr<Class> cls) {
  if (!cls) return;
  ClassTable& table = classTable();
  std::lock_guard lock(table.mutex);
  std::string name = cls->name();
  table.classes[name] = std::move(cls);
}

std::shared_ptr<Class> classFromString(std::string_view name) {
  ClassTable& table = classTable();
  std::lock_guard lock(table.mutex);
  auto found = table.classes.find(name);
  return found == table.classes.end() ? nullptr : found->second;
}

}  // namespace rt
