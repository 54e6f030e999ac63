// The host program for a person: shows the screen, then reads commands
// (HostSession.h) until `quit` or the end of input, printing the answer
// and the screen after each. Failures are printed and the loop goes on.
#pragma once

#include <istream>
#include <ostream>

#include "Apps/quillbox/HostSession.h"

namespace quillbox {

class TerminalLoop {
 public:
  // `prompt`: print "> " before reading each command (a terminal).
  static void run(std::istream& in, std::ostream& out, HostSession& session, bool prompt);
  // One line: runs it and prints its answer and the screen (or why it
  // failed). Whether it was `quit`.
  static bool answer(const std::string& line, std::ostream& out, HostSession& session);
};

}  // namespace quillbox
