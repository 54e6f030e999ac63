// The zip archive's log lines, "[VLZipArchive] ..." on the system log
// (Platform/SystemLog, default type); never through the application's
// logging framework.
#pragma once

#include <string>

class VLZipLog {
 public:
  // Writes "[VLZipArchive] " followed by `line`.
  static void log(const std::string& line);
};
