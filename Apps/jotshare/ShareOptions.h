// The jotshare command line:
//   jotshare [--device DIR] [--pad] [--yes | --script FILE]
//            [--rtf FILE | --html FILE | --url URL | --file FILE]
// What is shared: text on standard input, else the one source given.
// --yes accepts the text as it arrives (Done at once); --script runs the
// editing commands of FILE; otherwise a person edits at the terminal.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace jotshare {

struct ShareOptions {
  enum class Source { StandardInput, RTF, HTML, URL, File };

  std::string device;  // empty: the default directory
  bool pad = false;
  bool yes = false;
  std::string script;
  Source source = Source::StandardInput;
  std::string argument;  // the file or URL of the source
  bool help = false;

  // Null with `error` set for an unknown, incomplete or doubled argument.
  static std::optional<ShareOptions> parse(const std::vector<std::string>& arguments, std::string* error);
  static std::string usage();
};

}  // namespace jotshare
