// For tests: the utilities logger's process-wide state between cases.
#pragma once

// Waits until every line handed to the logging queue so far is written.
void ZULLoggerWaitForWritesForTesting();
// Waits for pending writes, then puts the state back as a fresh process has
// it: level 5, no forced debug, version "", no standard-error output.
void ZULLoggerResetForTesting();
