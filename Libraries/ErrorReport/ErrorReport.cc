#include "Libraries/ErrorReport/ErrorReport.h"

#include <typeinfo>

#include "Libraries/CrashReporter/ZOVDodevadarud.h"
#include "Libraries/CrashReporter/ZOVDodevadarudCallObserver.h"
#include "Libraries/CrashReporter/ZOVExceptionModel.h"
#include "Libraries/Logging/LKLog.h"
#include "Libraries/Measurement/Core/VOZIzizuzove.h"

namespace ErrorReport {
namespace {

constexpr uint64_t kLevel = 7;

void logLine(const Site& site, bool asynchronous, uint64_t flag, const std::string& line) {
  LKLog::log(asynchronous, kLevel, flag, 0, site.file, functionName(site.function).c_str(), site.line, nullptr,
             line);
}

std::string position(const Site& site) {
  return fileName(site.file) + ":" + std::to_string(site.line) + " | " + functionName(site.function);
}

}  // namespace

std::string fileName(const char* path) {
  std::string_view p(path ? path : "");
  auto slash = p.find_last_of('/');
  return std::string(slash == std::string_view::npos ? p : p.substr(slash + 1));
}

std::string functionName(const char* prettyFunction) {
  std::string_view s(prettyFunction ? prettyFunction : "");
  // Inside a lambda the compiler names the enclosing function followed by
  // "::<lambda(...)>"; the report names it as a block of that function.
  bool inBlock = false;
  if (auto lambda = s.find("::<lambda"); lambda != std::string_view::npos) {
    s = s.substr(0, lambda);
    inBlock = true;
  }
  // Drop the parameter list: the last '(' at nesting depth zero.
  int depth = 0;
  size_t open = std::string_view::npos;
  for (size_t i = s.size(); i-- > 0;) {
    char c = s[i];
    if (c == ')') ++depth;
    if (c == '(' && --depth == 0) {
      open = i;
      break;
    }
  }
  if (open != std::string_view::npos) s = s.substr(0, open);
  // Drop the return type and qualifiers: what follows the last space outside
  // template brackets.
  int angle = 0;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '<') ++angle;
    if (s[i] == '>') --angle;
    if (s[i] == ' ' && angle == 0) start = i + 1;
  }
  std::string name(s.substr(start));
  if (inBlock) name += "_block_invoke";
  return name;
}

void report(const Site& site, const ns::Exception& exception) {
  ZOVExceptionModel model = ZOVExceptionModel::exceptionModelWithException(exception);
  ZOVDodevadarudCallObserver::willRecordExceptionModel(model);
  if (ZOVDodevadarud* reporter = ZOVDodevadarud::dodevadarud()) reporter->recordExceptionModel(model);
  logLine(site, false, LKLogFlagError,
          "** EXCEPTION (" + exception.name() + ") ** | " + position(site) + " | " + exception.debugDescription());
}

void report(const Site& site, const std::exception& exception) {
  if (auto* ours = dynamic_cast<const ns::Exception*>(&exception)) return report(site, *ours);
  report(site, ns::Exception(typeid(exception).name(), exception.what()));
}

ns::Error report(const Site& site, const ns::Error& error) {
  ZOVDodevadarudCallObserver::willRecordError(error);
  if (ZOVDodevadarud* reporter = ZOVDodevadarud::dodevadarud()) reporter->recordError(error);
  logLine(site, false, LKLogFlagError, "** ERROR ** | " + position(site) + " | " + error.description());
  return error;
}

ns::Error report(const Site& site, std::string_view message) {
  return report(site, ns::Error::withDescription(fileName(site.file), site.line, std::string(message)));
}

ns::Error report(const Site& site, const ns::Value& object) {
  if (const std::string* s = object.asString()) return report(site, std::string_view(*s));
  return report(site, std::string_view(object.description()));
}

void info(const Site& site, const std::string& message) { logLine(site, true, LKLogFlagInfo, message); }

void event(const Site& site, const std::string& name, const std::optional<ns::Dictionary>& parameters) {
  VOZIzizuzove::logEventWithName(name, parameters);
  std::string described = parameters ? ns::Value(*parameters).description() : "(null)";
  logLine(site, true, LKLogFlagInfo, "** EVENT ** | " + position(site) + " | " + name + " " + described);
}

}  // namespace ErrorReport
