// What a library registering with the experiments manager may tell it
// about itself beside its name and version.
#pragma once

#include <optional>

#include "Platform/Foundation/Value.h"

class MSRESDKProperty;

class MSRESDKPropertyProviderDelegate {
 public:
  virtual ~MSRESDKPropertyProviderDelegate() = default;

  // Custom properties of the library at this moment, sent with an
  // experiments fetch; none by default.
  virtual std::optional<ns::Dictionary> dynamicCustomPropertiesForSDKProperty(const MSRESDKProperty& property) {
    (void)property;
    return std::nullopt;
  }
};
