#include "Apps/quillbox/ScriptRunner.h"

namespace quillbox {

int ScriptRunner::run(std::istream& script, const std::string& name, HostSession& session, std::ostream& out) {
  std::string line;
  int number = 0;
  int status = 0;
  while (std::getline(script, line)) {
    ++number;
    auto command = HostCommand::parse(line);
    if (!command) continue;
    out << "> " << line << "\n";
    HostSession::Result result = session.run(*command);
    if (!result.ok) {
      out << name << ":" << number << ": " << result.output << "\n"
          << "The screen showed:\n" << HostSession::screen();
      out.flush();
      status = 1;
      break;
    }
    if (!result.output.empty()) out << result.output << "\n";
    if (result.showScreen) out << HostSession::screen();
    out.flush();
    if (result.quit) return status;
  }
  session.run("quit");
  return status;
}

}  // namespace quillbox
