#include "Libraries/TelemetryCore/ZOVDozaveveUserAgent.h"

#include <algorithm>
#include <vector>

#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/StringCompare.h"

ZOVDozaveveUserAgent::Components ZOVDozaveveUserAgent::readEnvironmentComponents() {
  Components components;
  auto main = ns::Bundle::mainBundle();
  auto infoString = [&main](const char* key) -> std::optional<std::string> {
    const ns::Value* value = main->objectForInfoDictionaryKey(key);
    if (!value || !value->asString()) return std::nullopt;
    return *value->asString();
  };
  components["apple-platform"] = ZULAppEnvironmentUtil::applePlatform();
  if (auto sdk = infoString("DTSDKBuild")) components["apple-sdk"] = *sdk;
  components["appstore"] = ZULAppEnvironmentUtil::isFromAppStore() ? "true" : "false";
  components["deploy"] = ZULAppEnvironmentUtil::deploymentType();
  if (auto model = ZULAppEnvironmentUtil::deviceModel()) components["device"] = *model;
  components["os-version"] = ZULAppEnvironmentUtil::systemVersion();
  if (auto xcode = infoString("DTXcodeBuild")) components["xcode"] = *xcode;
  return components;
}

void ZOVDozaveveUserAgent::setValue(const std::string& value, const std::string& component) {
  std::lock_guard lock(mutex_);
  valuesByComponent_[component] = value;
  dozaveveUserAgent_.reset();
}

std::string ZOVDozaveveUserAgent::dozaveveUserAgent() {
  std::lock_guard lock(mutex_);
  if (dozaveveUserAgent_) return *dozaveveUserAgent_;
  Components all = valuesByComponent_;
  for (const auto& [component, value] : environmentComponentsLocked()) all[component] = value;
  std::vector<std::string> texts;
  for (const auto& [component, value] : all) texts.push_back(component + "/" + value);
  std::stable_sort(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
    return ns::localizedCaseInsensitiveCompare(a, b) == ns::ComparisonResult::Ascending;
  });
  std::string agent;
  for (const auto& text : texts) {
    if (!agent.empty()) agent += " ";
    agent += text;
  }
  dozaveveUserAgent_ = agent;
  return agent;
}

void ZOVDozaveveUserAgent::reset() {
  Components fresh = readEnvironmentComponents();
  std::lock_guard lock(mutex_);
  valuesByComponent_ = std::move(fresh);
  dozaveveUserAgent_.reset();
}

ZOVDozaveveUserAgent::Components ZOVDozaveveUserAgent::environmentComponents() {
  std::lock_guard lock(mutex_);
  return environmentComponentsLocked();
}

const ZOVDozaveveUserAgent::Components& ZOVDozaveveUserAgent::environmentComponentsLocked() {
  if (!environmentComponents_) environmentComponents_ = readEnvironmentComponents();
  return *environmentComponents_;
}
