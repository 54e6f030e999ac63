#include "Libraries/Archive/VLZipLog.h"

#include <cstdio>

void VLZipLog::log(const std::string& line) { std::fprintf(stderr, "[VLZipArchive] %s\n", line.c_str()); }
