// For tests: the shared screen-view reporter as a new process finds it
// (inactive, never activated, no screens, no stacks, no perf delegate,
// a new random first instance ID).
#pragma once

void MSRScreenViewReporterResetForTesting();
// Until the reporter's queue has run what it holds (a direct screen view's
// change and event are queued there).
void MSRScreenViewReporterWaitForTesting();
