// LKContextAllowlistFilterLogFormatter: passes the records whose context is
// on its list (unchanged) and drops every other; an empty list drops all.
#pragma once

#include "Libraries/Logging/LKLogFormatter.h"
#include "Libraries/Logging/LKLoggingContextSet.h"

class LKContextAllowlistFilterLogFormatter : public LKLogFormatter {
 public:
  void addToAllowlist(int64_t context) { contextSet_.addToSet(context); }
  void removeFromAllowlist(int64_t context) { contextSet_.removeFromSet(context); }
  std::vector<int64_t> allowlist() const { return contextSet_.currentSet(); }
  bool isOnAllowlist(int64_t context) const { return contextSet_.isInSet(context); }
  // The older names.
  void addToWhitelist(int64_t context) { addToAllowlist(context); }
  void removeFromWhitelist(int64_t context) { removeFromAllowlist(context); }
  std::vector<int64_t> whitelist() const { return allowlist(); }
  bool isOnWhitelist(int64_t context) const { return isOnAllowlist(context); }

  std::optional<std::string> formatLogMessage(const LKLogMessage& message) override {
    if (isOnAllowlist(message.context())) return message.message();
    return std::nullopt;
  }

 private:
  LKLoggingContextSet contextSet_;
};
