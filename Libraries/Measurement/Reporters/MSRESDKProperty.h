// A library that takes part in experiments, as it registers with the
// experiments manager: its name ("app_measurement"), its version and a
// delegate that is held weakly.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "Libraries/Measurement/Reporters/MSRESDKPropertyProviderDelegate.h"

class MSRESDKProperty {
 public:
  explicit MSRESDKProperty(std::string name) : name_(std::move(name)) {}
  MSRESDKProperty(const MSRESDKProperty&) = delete;
  MSRESDKProperty& operator=(const MSRESDKProperty&) = delete;

  const std::string& name() const { return name_; }
  int64_t version() const;
  void setVersion(int64_t version);
  // Null once the delegate is gone.
  std::shared_ptr<MSRESDKPropertyProviderDelegate> delegate() const;
  void setDelegate(std::weak_ptr<MSRESDKPropertyProviderDelegate> delegate);

 private:
  const std::string name_;
  mutable std::mutex mutex_;
  int64_t version_ = 0;
  std::weak_ptr<MSRESDKPropertyProviderDelegate> delegate_;
};
