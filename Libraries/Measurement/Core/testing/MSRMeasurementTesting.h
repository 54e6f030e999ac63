// For tests: the remote configuration MSRMeasurement::remoteConfig()
// answers, as a running measurement would hold it; null puts the default
// instance back.
#pragma once

#include <memory>

#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"

void MSRMeasurementSetRemoteConfigForTesting(std::shared_ptr<MSRRemoteConfig> remoteConfig);
