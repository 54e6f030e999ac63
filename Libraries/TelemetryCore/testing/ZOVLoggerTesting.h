// For tests: the core logger's once-per-process set-up, made repeatable so
// that one test process can play several launches.
#pragma once

// Forgets that the set-up ran: the next logging call runs it again.
void ZOVLoggerResetForTesting();
// How often the set-up ran since the last reset.
int ZOVLoggerSetUpCountForTesting();
