// The zip archive's log lines, "[VLZipArchive] ..." on the host's system
// log (standard error); never through the application's logging framework.
#pragma once

#include <string>

class VLZipLog {
 public:
  // Writes "[VLZipArchive] " followed by `line`.
  static void log(const std::string& line);
};
