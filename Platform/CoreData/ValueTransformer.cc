#include "Platform/CoreData/ValueTransformer.h"

#include <map>
#include <mutex>

namespace cd {

namespace {
std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, std::shared_ptr<ValueTransformer>>& registry() {
  static std::map<std::string, std::shared_ptr<ValueTransformer>> r;
  return r;
}
}  // namespace

void ValueTransformer::setValueTransformer(std::shared_ptr<ValueTransformer> transformer,
                                           const std::string& name) {
  std::lock_guard<std::mutex> lock(registryMutex());
  if (transformer) {
    registry()[name] = std::move(transformer);
  } else {
    registry().erase(name);
  }
}

std::shared_ptr<ValueTransformer> ValueTransformer::valueTransformerForName(const std::string& name) {
  std::lock_guard<std::mutex> lock(registryMutex());
  auto it = registry().find(name);
  return it == registry().end() ? nullptr : it->second;
}

}  // namespace cd
