#include "Libraries/Logging/LKConsole.h"

#include <unistd.h>

void LKConsoleWrite(const std::string& line) {
  std::string text = line;
  if (text.empty() || text.back() != '\n') text.push_back('\n');
  // One write keeps lines of several threads apart.
  ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
  (void)written;
}
