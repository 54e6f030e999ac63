// The reserved public event names: each one an app may not log itself, to
// the short internal name the engine stores and uploads it under
// ("session_start" -> "_s"). Two public names share "_cmp". Built once;
// any thread may read it.
#pragma once

#include <functional>
#include <map>
#include <string>

const std::map<std::string, std::string, std::less<>>& MSREventNameMap();

// The inverse: internal name to public name. "_cmp" stands for two public
// names and answers "dozaveve_campaign".
const std::map<std::string, std::string, std::less<>>& MSRInternalEventNameMap();
// The one reserved name an app may log itself, named internally when
// bundled: "ad_impression" -> "_ai".
const std::map<std::string, std::string, std::less<>>& MSRAdImpressionEventNameMap();
