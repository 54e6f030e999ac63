#include "Libraries/AppSupportKit/TXConfigResolution.h"

#include <map>

namespace TXConfigResolution {
namespace {

bool removeFirst(std::string& name, std::string_view text) {
  size_t at = name.find(text);
  if (at == std::string::npos) return false;
  name.erase(at, text.size());
  return true;
}

// A bound as the platform reads an integer from text: leading digits after an
// optional sign, 0 when there are none.
int64_t boundValue(const std::string& text) { return ns::Value(text).integerValue(); }

}  // namespace

std::optional<AppliedKey> applyKeySuffixes(std::string name, bool isPad, uint64_t slot) {
  int specificity = 0;
  if (name.find("~iphone") != std::string::npos) {
    if (isPad) return std::nullopt;
    removeFirst(name, "~iphone");
    ++specificity;
  } else if (name.find("~ipad") != std::string::npos) {
    if (!isPad) return std::nullopt;
    removeFirst(name, "~ipad");
    ++specificity;
  }

  size_t open = name.find("~[");
  size_t close = name.rfind(']');
  if (open == std::string::npos || close == std::string::npos || close < open + 2)
    return AppliedKey{std::move(name), specificity};
  std::string range = name.substr(open + 2, close - open - 2);
  size_t colon = range.find(':');
  if (colon == std::string::npos || range.find(':', colon + 1) != std::string::npos)
    return AppliedKey{std::move(name), specificity};
  int64_t lo = boundValue(range.substr(0, colon));
  int64_t hi = boundValue(range.substr(colon + 1));
  auto s = static_cast<int64_t>(slot);
  if (s < lo || s > hi) return std::nullopt;
  name.erase(open, close - open + 1);
  return AppliedKey{std::move(name), specificity + 1};
}

ns::Dictionary resolve(const ns::Dictionary& published, bool isPad, uint64_t slot) {
  ns::Dictionary resolved;
  for (const auto& [groupName, groupValue] : published) {
    const ns::Dictionary* group = groupValue.asDictionary();
    if (!group) continue;
    ns::Dictionary values;
    std::map<std::string, int> specificities;
    for (const auto& [key, value] : *group) {
      std::optional<AppliedKey> applied = applyKeySuffixes(key, isPad, slot);
      if (!applied) continue;
      int& recorded = specificities[applied->baseName];
      if (recorded > applied->specificity) continue;
      recorded = applied->specificity;
      values.set(applied->baseName, value);
    }
    resolved.set(groupName, ns::Value(std::move(values)));
  }
  return resolved;
}

}  // namespace TXConfigResolution
