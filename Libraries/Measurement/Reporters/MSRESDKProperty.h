// A library that takes part in experiments, as it registers with the
// experiments manager: its name ("app_measurement"), version, app ID, an
// optional diversion key of its own, custom properties and a delegate that
// is held weakly and may add custom properties at each request.
//
// Thread-safe: every field is behind a lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/Measurement/Reporters/MSRESDKPropertyProviderDelegate.h"
#include "Libraries/WireMessages/MSRPBExperimentMessages.h"
#include "Platform/Foundation/Value.h"

class MSRESDKProperty {
 public:
  explicit MSRESDKProperty(std::string name) : name_(std::move(name)) {}
  MSRESDKProperty(const MSRESDKProperty&) = delete;
  MSRESDKProperty& operator=(const MSRESDKProperty&) = delete;

  const std::string& name() const { return name_; }
  int64_t version() const;
  void setVersion(int64_t version);
  std::optional<std::string> appID() const;
  void setAppID(std::optional<std::string> appID);
  // None: the request carries the measurement identity's key.
  std::optional<std::string> diversionKey() const;
  void setDiversionKey(std::optional<std::string> key);
  // Name to text.
  ns::Dictionary customProperties() const;
  void setCustomProperties(ns::Dictionary properties);
  // Null once the delegate is gone.
  std::shared_ptr<MSRESDKPropertyProviderDelegate> delegate() const;
  void setDelegate(std::weak_ptr<MSRESDKPropertyProviderDelegate> delegate);

  // The request's ClientProperty: the name, "<diversion key>-<name>", the
  // version, the app ID and the custom properties overlaid by the
  // delegate's (its value wins). The key is the property's own when not
  // empty, else the measurement identity's; null when both are empty
  // (logged, 860001).
  std::shared_ptr<MSRPBClientProperty> proto() const;

 private:
  const std::string name_;
  mutable std::mutex mutex_;
  int64_t version_ = 0;
  std::optional<std::string> appID_;
  std::optional<std::string> diversionKey_;
  ns::Dictionary customProperties_;
  std::weak_ptr<MSRESDKPropertyProviderDelegate> delegate_;
};
