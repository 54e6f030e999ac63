#include "Platform/Foundation/ProcessInfo.h"

#include <fstream>
#include <iterator>
#include <tuple>

#include <unistd.h>

#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/Value.h"

namespace ns {
namespace {

std::vector<std::string> commandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> arguments;
  size_t start = 0;
  for (size_t end; (end = all.find('\0', start)) != std::string::npos; start = end + 1)
    arguments.push_back(all.substr(start, end - start));
  return arguments;
}

// An entry without "=" is not a variable; the first of two equal names wins,
// as the C library's getenv answers.
std::map<std::string, std::string> startEnvironment() {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; entry && *entry; ++entry) {
    std::string_view text(*entry);
    size_t equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    variables.emplace(std::string(text.substr(0, equals)), std::string(text.substr(equals + 1)));
  }
  return variables;
}

}  // namespace

ProcessInfo::ProcessInfo() : arguments_(commandLine()), environment_(startEnvironment()) {}

ProcessInfo& ProcessInfo::processInfo() {
  static ProcessInfo* info = new ProcessInfo();  // lives for the whole process
  return *info;
}

std::vector<std::string> ProcessInfo::arguments() const {
  std::lock_guard lock(mutex_);
  return arguments_;
}

void ProcessInfo::setArguments(std::vector<std::string> arguments) {
  std::lock_guard lock(mutex_);
  arguments_ = std::move(arguments);
}

OperatingSystemVersion ProcessInfo::operatingSystemVersion() const {
  std::string text = Device::current().facts().systemVersion;
  int64_t parts[3] = {0, 0, 0};
  size_t start = 0;
  for (int64_t& part : parts) {
    size_t dot = text.find('.', start);
    part = integerValueOfString(std::string_view(text).substr(start, dot == std::string::npos ? dot : dot - start));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return {parts[0], parts[1], parts[2]};
}

bool ProcessInfo::isOperatingSystemAtLeastVersion(const OperatingSystemVersion& version) const {
  OperatingSystemVersion current = operatingSystemVersion();
  return std::tie(current.majorVersion, current.minorVersion, current.patchVersion) >=
         std::tie(version.majorVersion, version.minorVersion, version.patchVersion);
}

}  // namespace ns
