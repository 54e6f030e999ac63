#include "Platform/Network/testing/AnswerFolder.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Platform/Foundation/StringOps.h"

namespace net::testing {
namespace {

std::optional<std::string> readFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool climbsOut(const std::string& path) {
  std::istringstream parts(path);
  for (std::string part; std::getline(parts, part, '/');) {
    if (part == "..") return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> applyHead(const std::string& text, Answer& answer) {
  std::istringstream lines(text);
  std::string line;
  bool statusRead = false;
  while (std::getline(lines, line)) {
    line = ns::trimmingWhitespaceAndNewlines(line);
    if (line.empty()) continue;
    if (!statusRead) {
      statusRead = true;
      answer.status = std::atoi(line.c_str());
      if (answer.status < 100 || answer.status > 599) return line;
      continue;
    }
    if (line[0] == '!') {
      std::istringstream words(line.substr(1));
      std::string directive;
      double value = 0;
      words >> directive >> value;
      if (directive == "delay") {
        answer.delaySeconds = value;
      } else if (directive == "chunked") {
        answer.chunked = true;
      } else if (directive == "close") {
        answer.closeConnection = true;
      } else if (directive == "stall-after") {
        answer.cut = Answer::Cut::Stall;
        answer.cutAfter = static_cast<size_t>(value);
      } else if (directive == "close-after") {
        answer.cut = Answer::Cut::Close;
        answer.cutAfter = static_cast<size_t>(value);
      } else {
        return line;
      }
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string::npos) return line;
    answer.headers.emplace_back(ns::trimmingWhitespace(line.substr(0, colon)),
                                ns::trimmingWhitespace(line.substr(colon + 1)));
  }
  return std::nullopt;
}

Answer answerFromFolder(const std::string& root, const RecordedRequest& request) {
  std::string path = request.path();
  if (path.empty() || path[0] != '/' || climbsOut(path)) return Answer{.status = 404};
  if (path.back() == '/') path += "index";
  std::string file = root + path;
  std::optional<std::string> head = readFile(file + ".head");
  std::optional<std::string> body = readFile(file);
  if (!head && !body) return Answer{.status = 404};
  Answer answer;
  answer.body = body.value_or("");
  if (head) {
    if (std::optional<std::string> bad = applyHead(*head, answer)) {
      return Answer{.status = 500, .body = "unreadable line in " + file + ".head: " + *bad + "\n"};
    }
  }
  return answer;
}

}  // namespace net::testing
