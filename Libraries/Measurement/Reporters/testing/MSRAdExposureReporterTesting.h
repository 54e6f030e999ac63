// For tests: the shared ad-exposure reporter as a new process finds it (no
// ad units, reporting enabled, its start time now).
#pragma once

void MSRAdExposureReporterResetForTesting();
