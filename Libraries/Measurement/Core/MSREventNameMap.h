// The reserved public event names: each one an app may not log itself, to
// the short internal name the engine stores and uploads it under
// ("session_start" -> "_s"). Two public names share "_cmp". Built once;
// any thread may read it.
#pragma once

#include <functional>
#include <map>
#include <string>

const std::map<std::string, std::string, std::less<>>& MSREventNameMap();
