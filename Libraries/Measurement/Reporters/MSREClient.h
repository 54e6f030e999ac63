// One registered library's view of the experiments: the flags of the
// active snapshot under the library's name, and the activation of newer
// snapshots.
//
// Today no snapshot is ever fetched: a flag answers the default the
// library registered (none for a flag it did not register), and activation
// has nothing to do. The experiments' own work fetches, stores and
// activates snapshots behind the same signatures.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/Measurement/Reporters/MSREExperimentObserverDelegate.h"
#include "Libraries/Measurement/Reporters/MSRESDKProperty.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

class MSREClient {
 public:
  MSREClient(std::shared_ptr<MSRESDKProperty> property, ns::Dictionary defaultFlags);
  virtual ~MSREClient() = default;
  MSREClient(const MSREClient&) = delete;
  MSREClient& operator=(const MSREClient&) = delete;

  const std::shared_ptr<MSRESDKProperty>& property() const { return property_; }

  // Makes the newest snapshot the active one; false with an error in the
  // out-parameter (when given) when that fails.
  virtual bool activateLatestSnapshot(ns::Error* error);
  // The flag's value in the active snapshot; none when absent.
  virtual std::optional<ns::Value> objectForKeyedSubscript(const std::string& flagName) const;

  // Held weakly; null once gone.
  std::shared_ptr<MSREExperimentObserverDelegate> delegate() const;
  void setDelegate(std::weak_ptr<MSREExperimentObserverDelegate> delegate);

 private:
  const std::shared_ptr<MSRESDKProperty> property_;
  const ns::Dictionary defaultFlags_;
  mutable std::mutex mutex_;
  std::weak_ptr<MSREExperimentObserverDelegate> delegate_;
};
