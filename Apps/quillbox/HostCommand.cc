#include "Apps/quillbox/HostCommand.h"

namespace quillbox {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && isSpace(s[b])) ++b;
  while (e > b && isSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Words separated by spaces; "..." keeps spaces, \" and \\ inside quotes.
// An unclosed quote runs to the end of the line.
std::vector<std::string> splitWords(const std::string& s, bool* oneQuoted) {
  std::vector<std::string> words;
  size_t quotedWords = 0;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && isSpace(s[i])) ++i;
    if (i >= s.size()) break;
    std::string word;
    if (s[i] == '"') {
      ++i;
      while (i < s.size() && s[i] != '"') {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '"' || s[i + 1] == '\\')) ++i;
        word += s[i++];
      }
      if (i < s.size()) ++i;  // closing quote
      ++quotedWords;
    } else {
      while (i < s.size() && !isSpace(s[i])) word += s[i++];
    }
    words.push_back(word);
  }
  if (oneQuoted) *oneQuoted = words.size() == 1 && quotedWords == 1;
  return words;
}

}  // namespace

std::optional<HostCommand> HostCommand::parse(const std::string& line) {
  std::string s = trim(line);
  if (s.empty() || s[0] == '#') return std::nullopt;
  HostCommand command;
  size_t end = 0;
  while (end < s.size() && !isSpace(s[end])) ++end;
  command.word = s.substr(0, end);
  std::string rest = trim(s.substr(end));
  bool oneQuoted = false;
  command.args = splitWords(rest, &oneQuoted);
  command.text = oneQuoted ? command.args.front() : rest;
  command.quoted = oneQuoted;
  // The rest as typed: after the word and the one space that ends it, to
  // the end of the line (a line end's carriage return is no text).
  std::string unended = line;
  if (!unended.empty() && unended.back() == '\r') unended.pop_back();
  size_t word = unended.find(command.word);
  size_t after = word + command.word.size();
  if (after < unended.size()) command.raw = unended.substr(after + 1);
  return command;
}

std::string unescapeTyped(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
      out += text[i + 1] == 'n' ? '\n' : '\\';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace quillbox
