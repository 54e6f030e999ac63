// For tests: what a new launch of the program starts from, as far as the
// VIDUve class goes, so that one test process can play several launches.
#pragma once

// No apps; the user agent names the core alone; the optional libraries and
// the Info.plist data-collection value are looked for again; no library is
// waiting for configureWithApp. Component registrants stay (they are the
// libraries linked into the process).
void VIDUveResetForTesting();
