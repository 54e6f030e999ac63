#include "Apps/quillbox/TerminalLoop.h"

namespace quillbox {

void TerminalLoop::run(std::istream& in, std::ostream& out, HostSession& session, bool prompt) {
  out << HostSession::screen() << "(help lists the commands)\n";
  std::string line;
  while (true) {
    if (prompt) out << "> " << std::flush;
    if (!std::getline(in, line)) break;
    if (answer(line, out, session)) return;
  }
  if (prompt) out << "\n";
  session.run("quit");
}

bool TerminalLoop::answer(const std::string& line, std::ostream& out, HostSession& session) {
  auto command = HostCommand::parse(line);
  if (!command) return false;
  HostSession::Result result = session.run(*command);
  if (!result.ok) {
    out << "! " << result.output << "\n" << std::flush;
    return false;
  }
  if (!result.output.empty()) out << result.output << "\n";
  if (result.showScreen) out << HostSession::screen();
  out.flush();
  return result.quit;
}

}  // namespace quillbox
