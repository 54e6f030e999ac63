// The crash reporter's internal log writes only once a crash context
// exists; the DWARF fuzz target has none, so its messages go nowhere.
#include "Libraries/CrashReporter/DVCRInternalLog.h"

void DVCRInternalLogWrite(uint32_t, const char*, ...) {}
