// The reserved user properties: each public name an app may not set, to the
// short internal name the engine stores it under ("user_id" -> "_id").
// Built once; any thread may read it.
#pragma once

#include <functional>
#include <map>
#include <string>

const std::map<std::string, std::string, std::less<>>& MSRUserPropertyNameMap();
