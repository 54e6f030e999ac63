// One line a person or a script gives the host program, split into its
// command word and arguments. Texts with spaces may be quoted ("All Notes");
// a command that takes one text takes the rest of the line as it stands
// unless the whole rest is one quoted text. `raw` keeps the spaces a
// person typed around the rest (what `type` types).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillbox {

struct HostCommand {
  std::string word;                // "tap"
  std::string text;                // the rest as one text, unquoted when it was one quoted text
  std::vector<std::string> args;   // the rest split into words, quotes removed
  std::string raw;                 // the rest after the word and one space, exactly as given
  bool quoted = false;             // the rest was one quoted text

  // Null for an empty line and for a comment ("# ...").
  static std::optional<HostCommand> parse(const std::string& line);
};

// "\n" in a typed text is a press of the return key, "\\" a backslash.
std::string unescapeTyped(const std::string& text);

}  // namespace quillbox
