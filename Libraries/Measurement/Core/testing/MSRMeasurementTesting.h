// For tests: the remote configuration MSRMeasurement::remoteConfig()
// answers, as a running measurement would hold it (null puts the default
// instance back), and the engine's shared instance.
#pragma once

#include <memory>

#include "Libraries/Measurement/Core/MSRConditionalUserPropertyController.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Reporters/MSRSessionReporter.h"
#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"

void MSRMeasurementSetRemoteConfigForTesting(std::shared_ptr<MSRRemoteConfig> remoteConfig);

// An engine, enabled or not, with that identity (may be null).
std::shared_ptr<MSRMeasurement> MSRMeasurementForTesting(bool enabled, std::shared_ptr<MSRIdentity> identity);
// What MSRMeasurement::sharedInstance() answers; null for none.
void MSRMeasurementSetSharedInstanceForTesting(std::shared_ptr<MSRMeasurement> measurement);
// Forgets the engine and that its initialiser ran, as a new process would.
void MSRMeasurementForgetSharedInstanceForTesting();
// What the engine asks about triggered events and sessions (null puts
// the shared controller back).
void MSRMeasurementSetConditionalUserPropertyControllerForTesting(
    MSRMeasurement& engine, std::shared_ptr<MSRConditionalUserPropertyController> controller);
void MSRMeasurementSetSessionReporterForTesting(MSRMeasurement& engine, std::shared_ptr<MSRSessionReporter> reporter);
