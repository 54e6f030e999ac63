// Runs the host program's commands from a script: one command a line,
// "#" starts a comment. Each line is echoed ("> tap Notes"), then its
// answer and the screen. The first line that fails (an action that found
// nothing to act on, an `expect` whose text is not on the screen, an unknown
// command) stops the script with "<script>:<line>: <why>" and the screen
// as it was; the app is then ended as `quit` ends it.
#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <sstream>
#include <string>

#include "Apps/quillbox/HostSession.h"

namespace quillbox {

class ScriptRunner {
 public:
  // Reads the script at `path` into `text`; false with `why` for a path
  // that is no readable file (a directory, no permission) or a script
  // without a single command.
  static bool load(const std::string& path, std::istringstream* text, std::string* why);
  // 0 when every line passed, 1 otherwise. `beforeLine`, when given, is
  // asked before each command whether to go on (a window closed stops the
  // script there, as `quit` would).
  static int run(std::istream& script, const std::string& name, HostSession& session, std::ostream& out,
                 const std::function<bool()>& beforeLine = nullptr);
};

}  // namespace quillbox
