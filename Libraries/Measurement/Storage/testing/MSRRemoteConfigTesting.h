// For tests: configurations that are not the default instance, as a
// fetched one would be, answering the given store flag or database limits
// (the rest at their defaults).
#pragma once

#include <cstdint>
#include <memory>

#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"

std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithPersistentConfigFlagForTesting(bool enabled);
std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithDatabaseLimitsForTesting(int32_t maxEventsStored,
                                                                             double maxQueueTime,
                                                                             double databaseDeleteStaleBundlesInterval);
