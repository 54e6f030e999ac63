// LKTTYLogger: writes each record to standard error, one gathered write per
// line, optionally coloured by flag, context or tag.
//
// Without a formatter a line reads
//   "yyyy-MM-dd HH:mm:ss:SSS <app>[<pid>:<thread id>] <message>"
// in the device's time zone. The terminal's colour support is decided once,
// when the shared instance is first asked for: "IDEColors=YES" in the
// environment, else a TERM containing "color" (256 colours when it also
// contains "256"), else none (profiles then carry no codes).
// Colour settings pass through the logging queue to the logger's queue.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Logging/LKAbstractLogger.h"
#include "Libraries/Logging/LKTTYLoggerColorProfile.h"

class LKTTYLogger : public LKAbstractLogger {
 public:
  // The one logger of this process's terminal.
  static const std::shared_ptr<LKTTYLogger>& sharedInstance();
  // Null once the shared instance exists.
  static std::shared_ptr<LKTTYLogger> create();
  // A logger for a terminal of the given kind, whatever this process's is.
  static std::shared_ptr<LKTTYLogger> createWithMode(LKTerminalMode mode);
  // The mode the environment asks for.
  static LKTerminalMode terminalModeFromEnvironment();

  std::string loggerName() override { return "logkit.ttyLogger"; }
  LKTerminalMode terminalMode() const { return mode_; }

  bool colorsEnabled();
  // Enabling with no flag profiles loads the defaults: errors in red
  // (214, 57, 30), warnings in orange (204, 121, 32).
  void setColorsEnabled(bool enabled);
  void setForegroundColor(std::optional<LKColor> foreground, std::optional<LKColor> background, uint64_t flag,
                          int64_t context = LKTTYLoggerColorProfile::kEveryContext);
  void setForegroundColorForTag(std::optional<LKColor> foreground, std::optional<LKColor> background,
                                const ns::Value& tag);
  // Context 0 by default: a profile for every context stays.
  void clearColorsForFlag(uint64_t flag, int64_t context = 0);
  void clearColorsForTag(const ns::Value& tag);
  void clearColorsForAllFlags();
  void clearColorsForAllTags();
  void clearAllColors();

  bool automaticallyAppendNewlineForCustomFormatters() const { return automaticallyAppendNewline_; }
  void setAutomaticallyAppendNewlineForCustomFormatters(bool value) { automaticallyAppendNewline_ = value; }

  void logMessage(const LKLogMessage& message) override;

 private:
  explicit LKTTYLogger(LKTerminalMode mode);
  std::shared_ptr<LKTTYLogger> self();
  const LKTTYLoggerColorProfile* profileFor(const LKLogMessage& message) const;

  LKTerminalMode mode_;
  std::string appName_;
  std::string processID_;
  bool colorsEnabled_ = false;
  std::vector<LKTTYLoggerColorProfile> colorProfilesArray_;
  std::vector<std::pair<ns::Value, LKTTYLoggerColorProfile>> colorProfilesDict_;
  bool automaticallyAppendNewline_ = true;
};
