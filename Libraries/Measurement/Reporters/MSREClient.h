// One registered library's handle on the experiments: its flags as the
// manager answers them (activated, then launched snapshot, then the
// library's defaults) and the activation of the newest fetched snapshot.
//
// The manager is held weakly: without it a flag answers the registered
// default and activation has nothing to do. The delegate is held weakly
// too.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/Measurement/Reporters/MSREExperimentObserverDelegate.h"
#include "Libraries/Measurement/Reporters/MSRESDKProperty.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

class MSREManager;

class MSREClient {
 public:
  MSREClient(std::shared_ptr<MSRESDKProperty> property, ns::Dictionary defaultFlags);
  MSREClient(std::shared_ptr<MSRESDKProperty> property, ns::Dictionary defaultFlags, std::weak_ptr<MSREManager> manager);
  virtual ~MSREClient() = default;
  MSREClient(const MSREClient&) = delete;
  MSREClient& operator=(const MSREClient&) = delete;

  const std::shared_ptr<MSRESDKProperty>& property() const { return property_; }
  const std::shared_ptr<MSRESDKProperty>& SDKProperty() const { return property_; }
  std::string SDKName() const { return property_->name(); }
  const ns::Dictionary& defaultFlags() const { return defaultFlags_; }

  // Makes the pending snapshot the activated one; false when there is
  // none, with an error in the out-parameter (when given) for a bad name.
  virtual bool activateLatestSnapshot(ns::Error* error);
  // The flag's value; none when no level has it.
  virtual std::optional<ns::Value> objectForKeyedSubscript(const std::string& flagName) const;
  std::optional<ns::Value> valueForFlag(const std::string& flagName) const;
  // The activated snapshot is more than 3 days away from now.
  bool hasStaleSnapshot() const;
  void resetToDefaults();

  // Held weakly; null once gone.
  std::shared_ptr<MSREExperimentObserverDelegate> delegate() const;
  void setDelegate(std::weak_ptr<MSREExperimentObserverDelegate> delegate);

 private:
  const std::shared_ptr<MSRESDKProperty> property_;
  const ns::Dictionary defaultFlags_;
  const std::weak_ptr<MSREManager> manager_;
  mutable std::mutex mutex_;
  std::weak_ptr<MSREExperimentObserverDelegate> delegate_;
};
