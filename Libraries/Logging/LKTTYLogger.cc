#include "Libraries/Logging/LKTTYLogger.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "Libraries/Logging/LKCivilTime.h"
#include "Libraries/Logging/LKConsole.h"
#include "Platform/Foundation/TimeZone.h"

namespace {

std::atomic<bool> sharedExists{false};

// "%04d-%02d-%02d %02d:%02d:%02d:%03ld" in the device's zone, at most 23 characters.
std::string localTimestamp(ns::Date date) {
  const LKCivilTime t = LKCivilTime::fromDate(date, ns::TimeZone::defaultZone().secondsFromGMT(date));
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u:%03u", static_cast<int>(t.year), t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  return std::string(text).substr(0, 23);
}

}  // namespace

LKTerminalMode LKTTYLogger::terminalModeFromEnvironment() {
  const char* ide = std::getenv("IDEColors");
  if (ide && std::string(ide) == "YES") return LKTerminalMode::IDEColors;
  const char* termValue = std::getenv("TERM");
  std::string term = termValue ? termValue : "";
  std::string lower = term;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower.find("color") == std::string::npos) return LKTerminalMode::None;
  return term.find("256") != std::string::npos ? LKTerminalMode::Colors256 : LKTerminalMode::Colors16;
}

const std::shared_ptr<LKTTYLogger>& LKTTYLogger::sharedInstance() {
  static const std::shared_ptr<LKTTYLogger> instance = [] {
    auto logger = createWithMode(terminalModeFromEnvironment());
    sharedExists = true;
    return logger;
  }();
  return instance;
}

std::shared_ptr<LKTTYLogger> LKTTYLogger::create() {
  if (sharedExists) return nullptr;
  return createWithMode(terminalModeFromEnvironment());
}

std::shared_ptr<LKTTYLogger> LKTTYLogger::createWithMode(LKTerminalMode mode) {
  LKConsoleWrite(
      "LogKit: Warning: Usage of LKTTYLogger detected when LKOSLogger is available and can be used! Please "
      "consider migrating to LKOSLogger.");
  return std::shared_ptr<LKTTYLogger>(new LKTTYLogger(mode));
}

LKTTYLogger::LKTTYLogger(LKTerminalMode mode) : mode_(mode) {
  appName_ = program_invocation_short_name ? program_invocation_short_name : "";
  if (appName_.empty()) appName_ = "<UnnamedApp>";
  processID_ = std::to_string(::getpid());
  colorProfilesArray_.reserve(8);
  colorProfilesDict_.reserve(8);
}

std::shared_ptr<LKTTYLogger> LKTTYLogger::self() { return std::static_pointer_cast<LKTTYLogger>(shared_from_this()); }

bool LKTTYLogger::colorsEnabled() {
  bool result = false;
  performOnLoggerQueueAndWait([&] { result = colorsEnabled_; });
  return result;
}

void LKTTYLogger::setColorsEnabled(bool enabled) {
  auto me = self();
  performOnLoggerQueue([me, enabled] {
    me->colorsEnabled_ = enabled;
    if (me->colorProfilesArray_.empty()) {
      me->colorProfilesArray_.emplace_back(LKColor::fromBytes(214, 57, 30), std::nullopt, LKLogFlagError,
                                           LKTTYLoggerColorProfile::kEveryContext, me->mode_);
      me->colorProfilesArray_.emplace_back(LKColor::fromBytes(204, 121, 32), std::nullopt, LKLogFlagWarning,
                                           LKTTYLoggerColorProfile::kEveryContext, me->mode_);
    }
  });
}

void LKTTYLogger::setForegroundColor(std::optional<LKColor> foreground, std::optional<LKColor> background,
                                     uint64_t flag, int64_t context) {
  auto me = self();
  performOnLoggerQueue([me, foreground, background, flag, context] {
    LKTTYLoggerColorProfile profile(foreground, background, flag, context, me->mode_);
    auto& list = me->colorProfilesArray_;
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const auto& p) { return p.mask == flag && p.context == context; });
    if (it != list.end()) {
      *it = profile;
    } else {
      list.push_back(profile);
    }
  });
}

void LKTTYLogger::setForegroundColorForTag(std::optional<LKColor> foreground, std::optional<LKColor> background,
                                           const ns::Value& tag) {
  auto me = self();
  performOnLoggerQueue([me, foreground, background, tag] {
    LKTTYLoggerColorProfile profile(foreground, background, 0, 0, me->mode_);
    for (auto& [key, value] : me->colorProfilesDict_) {
      if (key == tag) {
        value = profile;
        return;
      }
    }
    me->colorProfilesDict_.emplace_back(tag, profile);
  });
}

void LKTTYLogger::clearColorsForFlag(uint64_t flag, int64_t context) {
  auto me = self();
  performOnLoggerQueue([me, flag, context] {
    auto& list = me->colorProfilesArray_;
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const auto& p) { return p.mask == flag && p.context == context; });
    if (it != list.end()) list.erase(it);
  });
}

void LKTTYLogger::clearColorsForTag(const ns::Value& tag) {
  auto me = self();
  performOnLoggerQueue([me, tag] {
    auto& dict = me->colorProfilesDict_;
    dict.erase(std::remove_if(dict.begin(), dict.end(), [&](const auto& e) { return e.first == tag; }), dict.end());
  });
}

void LKTTYLogger::clearColorsForAllFlags() {
  auto me = self();
  performOnLoggerQueue([me] { me->colorProfilesArray_.clear(); });
}

void LKTTYLogger::clearColorsForAllTags() {
  auto me = self();
  performOnLoggerQueue([me] { me->colorProfilesDict_.clear(); });
}

void LKTTYLogger::clearAllColors() {
  auto me = self();
  performOnLoggerQueue([me] {
    me->colorProfilesArray_.clear();
    me->colorProfilesDict_.clear();
  });
}

const LKTTYLoggerColorProfile* LKTTYLogger::profileFor(const LKLogMessage& message) const {
  if (!colorsEnabled_) return nullptr;
  if (message.representedObject()) {
    for (auto& [key, profile] : colorProfilesDict_) {
      if (key == *message.representedObject()) return &profile;
    }
  }
  const LKTTYLoggerColorProfile* everyContext = nullptr;
  for (const auto& profile : colorProfilesArray_) {
    if (!(profile.mask & message.flag())) continue;
    if (profile.context == message.context()) return &profile;
    if (profile.context == LKTTYLoggerColorProfile::kEveryContext) everyContext = &profile;
  }
  return everyContext;
}

void LKTTYLogger::logMessage(const LKLogMessage& message) {
  std::optional<std::string> line;
  bool formatted = false;
  if (logFormatter_) {
    line = logFormatter_->formatLogMessage(message);
    formatted = line && *line != message.message();
  } else {
    line = message.message();
  }
  if (!line) return;
  const LKTTYLoggerColorProfile* profile = profileFor(message);
  static const std::string empty;
  const std::string& fg = profile ? profile->fgCode : empty;
  const std::string& bg = profile ? profile->bgCode : empty;
  const std::string& reset = profile ? profile->resetCode : empty;
  const bool endsWithNewline = !line->empty() && line->back() == '\n';
  std::vector<std::string> pieces;
  pieces.reserve(12);
  pieces.push_back(fg);
  pieces.push_back(bg);
  if (formatted) {
    pieces.push_back(*line);
    if (automaticallyAppendNewline_ && !endsWithNewline) pieces.push_back("\n");
  } else {
    pieces.push_back(message.timestamp() ? localTimestamp(*message.timestamp()) : std::string());
    pieces.push_back(" ");
    pieces.push_back(appName_);
    pieces.push_back("[");
    pieces.push_back(processID_);
    pieces.push_back(":");
    pieces.push_back(message.threadID().substr(0, 8));
    pieces.push_back("] ");
    pieces.push_back(*line);
    if (!endsWithNewline) pieces.push_back("\n");
  }
  pieces.push_back(reset);
  std::vector<iovec> vectors;
  for (auto& piece : pieces) {
    if (!piece.empty()) vectors.push_back({const_cast<char*>(piece.data()), piece.size()});
  }
  // Results are not examined: there is nowhere left to report to.
  ssize_t written = ::writev(STDERR_FILENO, vectors.data(), static_cast<int>(vectors.size()));
  (void)written;
}
