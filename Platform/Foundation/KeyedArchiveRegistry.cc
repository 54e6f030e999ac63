#include "Platform/Foundation/KeyedArchiveRegistry.h"

#include <algorithm>
#include <mutex>

namespace ns {
namespace {

// Ancestry of the classes the archiver knows by itself.
const std::unordered_map<std::string, std::vector<std::string>>& builtInLineages() {
  static const std::unordered_map<std::string, std::vector<std::string>> lineages = {
      {"NSString", {"NSString", "NSObject"}},
      {"NSMutableString", {"NSMutableString", "NSString", "NSObject"}},
      {"NSNumber", {"NSNumber", "NSValue", "NSObject"}},
      {"NSData", {"NSData", "NSObject"}},
      {"NSMutableData", {"NSMutableData", "NSData", "NSObject"}},
      {"NSDate", {"NSDate", "NSObject"}},
      {"NSNull", {"NSNull", "NSObject"}},
      {"NSArray", {"NSArray", "NSObject"}},
      {"NSMutableArray", {"NSMutableArray", "NSArray", "NSObject"}},
      {"NSDictionary", {"NSDictionary", "NSObject"}},
      {"NSMutableDictionary", {"NSMutableDictionary", "NSDictionary", "NSObject"}},
  };
  return lineages;
}

}  // namespace

KeyedArchiveRegistry& KeyedArchiveRegistry::shared() {
  static KeyedArchiveRegistry registry;
  return registry;
}

void KeyedArchiveRegistry::registerClass(KeyedArchiveClass cls) {
  std::unique_lock lock(mutex_);
  std::string name = cls.name;
  classes_.insert_or_assign(std::move(name), std::move(cls));
}

std::optional<KeyedArchiveClass> KeyedArchiveRegistry::find(const std::string& name) const {
  std::shared_lock lock(mutex_);
  auto it = classes_.find(name);
  if (it == classes_.end()) return std::nullopt;
  return it->second;
}

std::vector<std::string> KeyedArchiveRegistry::lineage(const std::string& name) const {
  if (auto it = builtInLineages().find(name); it != builtInLineages().end()) return it->second;
  std::vector<std::string> out{name};
  if (auto cls = find(name)) out.insert(out.end(), cls->superclassNames.begin(), cls->superclassNames.end());
  return out;
}

bool KeyedArchiveRegistry::isAllowed(const std::string& name, const std::vector<std::string>& allowed) const {
  for (const auto& ancestor : lineage(name))
    if (std::find(allowed.begin(), allowed.end(), ancestor) != allowed.end()) return true;
  return false;
}

}  // namespace ns
