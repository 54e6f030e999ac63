#include "Libraries/Measurement/Reporters/MSRESDKProperty.h"

#include "Libraries/Measurement/Core/MSRIdentity.h"
#include "Libraries/Measurement/Reporters/MSREManager.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace {

constexpr int32_t kClientSDKName = 0;
constexpr int32_t kClientDiversionKey = 1;
constexpr int32_t kClientVersion = 2;
constexpr int32_t kClientAppID = 3;
constexpr int32_t kClientCustomProperties = 4;
constexpr int32_t kCustomKey = 0;
constexpr int32_t kCustomValue = 1;

}  // namespace

int64_t MSRESDKProperty::version() const {
  std::lock_guard lock(mutex_);
  return version_;
}

void MSRESDKProperty::setVersion(int64_t version) {
  std::lock_guard lock(mutex_);
  version_ = version;
}

std::optional<std::string> MSRESDKProperty::appID() const {
  std::lock_guard lock(mutex_);
  return appID_;
}

void MSRESDKProperty::setAppID(std::optional<std::string> appID) {
  std::lock_guard lock(mutex_);
  appID_ = std::move(appID);
}

std::optional<std::string> MSRESDKProperty::diversionKey() const {
  std::lock_guard lock(mutex_);
  return diversionKey_;
}

void MSRESDKProperty::setDiversionKey(std::optional<std::string> key) {
  std::lock_guard lock(mutex_);
  diversionKey_ = std::move(key);
}

ns::Dictionary MSRESDKProperty::customProperties() const {
  std::lock_guard lock(mutex_);
  return customProperties_;
}

void MSRESDKProperty::setCustomProperties(ns::Dictionary properties) {
  std::lock_guard lock(mutex_);
  customProperties_ = std::move(properties);
}

std::shared_ptr<MSRESDKPropertyProviderDelegate> MSRESDKProperty::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

void MSRESDKProperty::setDelegate(std::weak_ptr<MSRESDKPropertyProviderDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}

std::shared_ptr<MSRPBClientProperty> MSRESDKProperty::proto() const {
  std::string key = diversionKey().value_or("");
  if (key.empty()) {
    if (auto identity = MSRIdentity::sharedInstance()) key = identity->diversionKey();
  }
  if (key.empty()) {
    MSREManager::monitor()->logWithLevel(1, 860001, "Diversion key is empty");
    return nullptr;
  }
  auto proto = MSRPBClientProperty::initWithBuffer(std::nullopt);
  MSRPBMessageSetString(proto.get(), kClientSDKName, name_);
  MSRPBMessageSetString(proto.get(), kClientDiversionKey, key + "-" + name_);
  MSRPBMessageSetInt64(proto.get(), kClientVersion, version());
  if (auto app = appID()) MSRPBMessageSetString(proto.get(), kClientAppID, *app);

  // Read afresh for every request: the delegate's values win.
  ns::Dictionary properties = customProperties();
  if (auto provider = delegate()) {
    if (auto dynamic = provider->dynamicCustomPropertiesForSDKProperty(*this)) {
      for (const auto& [name, value] : *dynamic) properties.set(name, value);
    }
  }
  MSRPBArray custom;
  for (const auto& [name, value] : properties) {
    const std::string* text = value.asString();
    if (!text) continue;
    auto pair = MSRPBCustomProperty::initWithBuffer(std::nullopt);
    MSRPBMessageSetString(pair.get(), kCustomKey, name);
    MSRPBMessageSetString(pair.get(), kCustomValue, *text);
    custom.emplace_back(std::static_pointer_cast<NANOMessageBase>(pair));
  }
  if (!custom.empty()) MSRPBMessageSetArray(proto.get(), kClientCustomProperties, custom);
  return proto;
}
