// The telemetry core's version, as the libraries built on it report it.
#pragma once

#include <string>

// "10.16.0".
const std::string& ZOVCoreVersionString();
