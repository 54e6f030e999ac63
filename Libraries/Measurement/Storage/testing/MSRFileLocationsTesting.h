// For tests: the directories the measurement file locations ask for,
// replaceable so that a test can take one away (the platform then answers
// no directory). The default record asks ns::FileManager.
#pragma once

#include <functional>
#include <optional>
#include <string>

struct MSRSearchPathDirectories {
  std::function<std::optional<std::string>()> applicationSupport;
  std::function<std::optional<std::string>()> library;
};

// Replaces the directories for every later call; an empty function puts
// the platform's back.
void MSRSetSearchPathDirectoriesForTesting(MSRSearchPathDirectories directories);
