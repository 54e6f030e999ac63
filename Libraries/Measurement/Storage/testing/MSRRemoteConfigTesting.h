// For tests: a configuration that is not the default instance, as a fetched
// one would be, answering the given store flag.
#pragma once

#include <memory>

#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"

std::shared_ptr<MSRRemoteConfig> MSRRemoteConfigWithPersistentConfigFlagForTesting(bool enabled);
