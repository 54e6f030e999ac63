// The body of an experiment fetch: one AppProperty ("ios", the first
// preferred language in lower case, the bundle identifier, whether the app
// came from the store, the experiment library version) and one
// ClientProperty per registered SDK property that can make one.
//
// Thread-safe.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "Libraries/Measurement/Reporters/MSRESDKProperty.h"
#include "Libraries/WireMessages/MSRPBExperimentMessages.h"

class MSREExperimentRequestBuilder {
 public:
  static std::shared_ptr<MSREExperimentRequestBuilder> sharedInstance();

  // Stored under its name, replacing one of the same name; null is refused
  // (logged, 880000).
  void addSDKProperty(const std::shared_ptr<MSRESDKProperty>& property);
  std::shared_ptr<MSRPBAppProperty> appPropertyProto() const;
  std::shared_ptr<MSRPBExperimentRequest> request() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<MSRESDKProperty>> clientPropertyBySDKName_;
};
