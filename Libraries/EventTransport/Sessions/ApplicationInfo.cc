#include "Libraries/EventTransport/Sessions/ApplicationInfo.h"

#include <utility>

#include "Platform/Foundation/StringCase.h"
#include "Platform/Foundation/StringOps.h"

ApplicationInfo::ApplicationInfo(std::string appID, std::shared_ptr<const NetworkInfoProtocol> networkInformation,
                                 std::map<std::string, std::string> envParams, std::optional<ns::Dictionary> infoDict)
    : appID_(std::move(appID)),
      networkInformation_(std::move(networkInformation)),
      envParams_(std::move(envParams)),
      infoDict_(std::move(infoDict)) {}

std::string ApplicationInfo::environment() const {
  auto variable = envParams_.find(kApplicationInfoRunEnvironmentVariable);
  if (variable == envParams_.end()) return "prod";
  std::string name = ns::lowercaseString(ns::trimmingWhitespace(variable->second));
  if (name == "staging" || name == "autopush") return name;
  return "prod";
}

std::string ApplicationInfo::appBuildVersion() const { return infoValue("CFBundleVersion"); }

std::string ApplicationInfo::appDisplayVersion() const { return infoValue("CFBundleShortVersionString"); }

std::string ApplicationInfo::infoValue(const std::string& key) const {
  if (!infoDict_) return "";
  const ns::Value* value = infoDict_->find(key);
  if (!value || !value->isString()) return "";
  return *value->asString();
}
