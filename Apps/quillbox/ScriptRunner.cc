#include "Apps/quillbox/ScriptRunner.h"

#include <filesystem>
#include <fstream>

namespace quillbox {

bool ScriptRunner::load(const std::string& path, std::istringstream* text, std::string* why) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    *why = "the script " + path + " is a directory";
    return false;
  }
  std::ifstream file(path);
  std::ostringstream content;
  if (file) content << file.rdbuf();  // an empty file reads nothing, which is no error here
  if (!file.is_open() || file.bad()) {
    *why = "cannot read the script " + path;
    return false;
  }
  text->str(content.str());
  std::istringstream lines(content.str());
  for (std::string line; std::getline(lines, line);) {
    if (HostCommand::parse(line)) return true;
  }
  *why = "the script " + path + " has no commands";
  return false;
}

int ScriptRunner::run(std::istream& script, const std::string& name, HostSession& session, std::ostream& out,
                      const std::function<bool()>& beforeLine) {
  std::string line;
  int number = 0;
  int status = 0;
  while (std::getline(script, line)) {
    ++number;
    auto command = HostCommand::parse(line);
    if (!command) continue;
    if (beforeLine && !beforeLine()) break;
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
