// For tests: configurations that are not the default instance, as a
// fetched one would be, answering the given store flag or database limits
// (the rest at their defaults); and the monitor's debug mode as the flags
// see it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"

std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithPersistentConfigFlagForTesting(bool enabled);

// Whether the flags take the monitor's debug mode as on; none asks the
// monitor again.
void MSRRemoteConfigSetDebugModeForTesting(std::optional<bool> enabled);

std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithDatabaseLimitsForTesting(int32_t maxEventsStored,
                                                                             double maxQueueTime,
                                                                             double databaseDeleteStaleBundlesInterval);
