// For tests: the shared screen-view reporter as a new process finds it
// (inactive, never activated, no screens, no stacks, no perf delegate).
#pragma once

void MSRScreenViewReporterResetForTesting();
