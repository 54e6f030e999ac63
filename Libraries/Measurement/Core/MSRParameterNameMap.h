// The public parameter names and the internal short names they stand for
// ("engagement_time_msec" -> "_et"): log lines print parameters by their
// public names, and audience filters are rewritten into internal names.
#pragma once

#include <map>
#include <string>

// Built once, on first use, thread-safely; 54 entries.
const std::map<std::string, std::string, std::less<>>& MSRParameterNameMap();
