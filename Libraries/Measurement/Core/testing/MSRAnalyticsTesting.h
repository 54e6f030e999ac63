// For tests: the analytics interface as a new process finds it (not
// started, the operation queue suspended, no interceptor or listeners),
// and a wait for what its queues and the engine's worker queue hold.
#pragma once

// Waits for what is queued first; the caller forgets the engine itself
// (MSRMeasurementForgetSharedInstanceForTesting).
void MSRAnalyticsResetForTesting();

// Until the operation queue (unless suspended), the serial queue and the
// engine's worker queue have run what they hold, and what that queued in
// turn, a few rounds deep.
void MSRAnalyticsWaitForTesting();
