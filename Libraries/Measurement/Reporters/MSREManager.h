// The experiments manager: libraries register with it and get a client
// that answers their experiment flags.
//
// Today it never fetches: a client answers the default flags its library
// registered, there are no experiment IDs, and reset has nothing to clear.
// The experiments' own work adds fetching and the experiments database
// behind the same signatures.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Libraries/Measurement/Reporters/MSREClient.h"
#include "Libraries/Measurement/Reporters/MSRESDKProperty.h"
#include "Platform/Foundation/Value.h"

class MSREManager {
 public:
  MSREManager() = default;
  virtual ~MSREManager() = default;
  MSREManager(const MSREManager&) = delete;
  MSREManager& operator=(const MSREManager&) = delete;

  // Registers the library with its default flags (name -> number) and
  // answers its client; null without a property.
  virtual std::shared_ptr<MSREClient> registerSDKProperty(std::shared_ptr<MSRESDKProperty> property,
                                                          const ns::Dictionary& defaultFlags);
  // The IDs of the active experiments.
  virtual std::vector<int64_t> experimentIDs() const;
  // Forgets the experiment state.
  virtual void reset();
};
