// How log lines print names and parameter dictionaries. In the monitor's
// debug mode, with the app's measurement class present, internal names
// gain their public name ("_s" -> "session_start (_s)"); otherwise every
// function answers its input unchanged. Any thread.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "Libraries/Measurement/Core/MSRValue.h"

// The public name of the map whose internal name is `name`, as
// "public (internal)"; a name with none, or a public name, is unchanged.
std::string MSRNameForLog(const std::string& name, const std::map<std::string, std::string, std::less<>>& map);
std::string MSREventNameForLog(const std::string& name);
std::string MSRParameterNameForLog(const std::string& name);
// "_exp_" names print as "experiment_id (_exp_...)".
std::string MSRUserPropertyNameForLog(const std::string& name);
// One "name = value;" line per entry, the lines in case-insensitive order
// and "_err" codes named; the map's plain description without debug mode.
std::string MSRDictionaryDescriptionForLog(const MSRValueMap& parameters);
