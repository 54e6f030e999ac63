#include "Libraries/Measurement/Core/MSRLogNames.h"

#include <algorithm>
#include <vector>

#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSREventNameMap.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRParameterNameMap.h"
#include "Libraries/Measurement/Storage/MSRUserPropertyNameMap.h"
#include "Platform/Foundation/StringCompare.h"
#include "Platform/Runtime/Runtime.h"

namespace {

bool namesForLog() {
  return MSRMeasurement::monitor()->isDebugModeEnabled() && rt::classFromString("VOZIzizuzove") != nullptr;
}

std::string plainDescription(const MSRValueMap& parameters) {
  std::string out = "{";
  for (const auto& [name, value] : parameters) out += "\n    " + name + " = " + value.description() + ";";
  return out + (parameters.empty() ? "}" : "\n}");
}

}  // namespace

std::string MSRNameForLog(const std::string& name, const std::map<std::string, std::string, std::less<>>& map) {
  if (name.empty() || map.empty() || MSRIsPublicName(name) || !namesForLog()) return name;
  const std::string* match = nullptr;
  for (const auto& [publicName, internalName] : map) {
    if (internalName != name) continue;
    match = &publicName;
    // A name of the engine's own prefix gives way to a later plain one.
    if (!publicName.starts_with("dozaveve_")) break;
  }
  return match ? *match + " (" + name + ")" : name;
}

std::string MSREventNameForLog(const std::string& name) { return MSRNameForLog(name, MSREventNameMap()); }

std::string MSRParameterNameForLog(const std::string& name) { return MSRNameForLog(name, MSRParameterNameMap()); }

std::string MSRUserPropertyNameForLog(const std::string& name) {
  if (!MSRMeasurement::monitor()->isDebugModeEnabled()) return name;
  if (name.starts_with("_exp_")) return "experiment_id (" + name + ")";
  return MSRNameForLog(name, MSRUserPropertyNameMap());
}

namespace {

std::string describedForLog(const MSRValueMap& parameters, const std::string& indentation) {
  std::vector<std::string> lines;
  for (const auto& [name, value] : parameters) {
    std::string text;
    if (const auto* items = value.arrayValue()) {
      text = "[\n";
      for (size_t i = 0; i < items->size(); ++i) {
        text += (i ? ",\n" : "") + describedForLog((*items)[i], "    ");
      }
      text += "\n    ]";
    } else if (name == "_err" && value.isInt64()) {
      auto known = MSRErrorCodeNameMap().find(value.int64Value());
      text = known != MSRErrorCodeNameMap().end()
                 ? known->second + " (" + std::to_string(value.int64Value()) + ")"
                 : std::to_string(value.int64Value());
    } else {
      text = value.description();
    }
    lines.push_back(indentation + "    " + MSRParameterNameForLog(name) + " = " + text + ";\n");
  }
  std::stable_sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
    return ns::caseInsensitiveCompare(a, b) == ns::ComparisonResult::Ascending;
  });
  std::string out = indentation + "{\n";
  for (const auto& line : lines) out += line;
  return out + indentation + "}";
}

}  // namespace

std::string MSRDictionaryDescriptionForLog(const MSRValueMap& parameters) {
  if (!MSRMeasurement::monitor()->isDebugModeEnabled()) return plainDescription(parameters);
  return describedForLog(parameters, "");
}
