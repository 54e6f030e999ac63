#include "Libraries/Measurement/Reporters/MSREExperimentRequestBuilder.h"

#include "Libraries/Measurement/Reporters/MSREManager.h"
#include "Libraries/TelemetryFoundation/ZULAppEnvironmentUtil.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/StringCase.h"

namespace {

constexpr int32_t kRequestAppProperty = 0;
constexpr int32_t kRequestClientProperties = 1;
constexpr int32_t kAppPlatform = 0;
constexpr int32_t kAppLanguage = 3;
constexpr int32_t kAppBundleIdentifier = 4;
constexpr int32_t kAppFromStore = 5;
constexpr int32_t kAppLibraryVersion = 6;

}  // namespace

std::shared_ptr<MSREExperimentRequestBuilder> MSREExperimentRequestBuilder::sharedInstance() {
  static const auto instance = std::make_shared<MSREExperimentRequestBuilder>();
  return instance;
}

void MSREExperimentRequestBuilder::addSDKProperty(const std::shared_ptr<MSRESDKProperty>& property) {
  if (!property) {
    MSREManager::monitor()->logWithLevel(2, 880000, "Cannot add an empty SDK property.");
    return;
  }
  std::lock_guard lock(mutex_);
  clientPropertyBySDKName_.insert_or_assign(property->name(), property);
}

std::shared_ptr<MSRPBAppProperty> MSREExperimentRequestBuilder::appPropertyProto() const {
  auto proto = MSRPBAppProperty::initWithBuffer(std::nullopt);
  MSRPBMessageSetString(proto.get(), kAppPlatform, "ios");
  auto languages = ns::Locale::preferredLanguages();
  if (!languages.empty()) MSRPBMessageSetString(proto.get(), kAppLanguage, ns::lowercaseString(languages.front()));
  auto bundle = ns::Bundle::mainBundle();
  if (auto identifier = bundle ? bundle->bundleIdentifier() : std::nullopt) {
    MSRPBMessageSetString(proto.get(), kAppBundleIdentifier, *identifier);
  }
  MSRPBMessageSetBool(proto.get(), kAppFromStore, ZULAppEnvironmentUtil::isFromAppStore());
  MSRPBMessageSetInt64(proto.get(), kAppLibraryVersion, MSREManager::version());
  return proto;
}

std::shared_ptr<MSRPBExperimentRequest> MSREExperimentRequestBuilder::request() const {
  std::map<std::string, std::shared_ptr<MSRESDKProperty>> properties;
  {
    std::lock_guard lock(mutex_);
    properties = clientPropertyBySDKName_;
  }
  auto request = MSRPBExperimentRequest::initWithBuffer(std::nullopt);
  MSRPBMessageSetMessage(request.get(), kRequestAppProperty, *appPropertyProto());
  MSRPBArray clients;
  for (const auto& [name, property] : properties) {
    if (auto proto = property->proto()) clients.emplace_back(std::static_pointer_cast<NANOMessageBase>(proto));
  }
  if (!clients.empty()) MSRPBMessageSetArray(request.get(), kRequestClientProperties, clients);
  return request;
}
