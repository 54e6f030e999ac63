// LKContextDenylistFilterLogFormatter: drops the records whose context is
// on its list and passes every other (unchanged); an empty list passes all.
#pragma once

#include "Libraries/Logging/LKLogFormatter.h"
#include "Libraries/Logging/LKLoggingContextSet.h"

class LKContextDenylistFilterLogFormatter : public LKLogFormatter {
 public:
  void addToDenylist(int64_t context) { contextSet_.addToSet(context); }
  void removeFromDenylist(int64_t context) { contextSet_.removeFromSet(context); }
  std::vector<int64_t> denylist() const { return contextSet_.currentSet(); }
  bool isOnDenylist(int64_t context) const { return contextSet_.isInSet(context); }
  // The older names.
  void addToBlacklist(int64_t context) { addToDenylist(context); }
  void removeFromBlacklist(int64_t context) { removeFromDenylist(context); }
  std::vector<int64_t> blacklist() const { return denylist(); }
  bool isOnBlacklist(int64_t context) const { return isOnDenylist(context); }

  std::optional<std::string> formatLogMessage(const LKLogMessage& message) override {
    if (isOnDenylist(message.context())) return std::nullopt;
    return message.message();
  }

 private:
  LKLoggingContextSet contextSet_;
};
