// The fixed lists that decide what other libraries may do through the
// analytics connector: which origins, event names, parameters and user
// properties they may use. They keep callers away from the names the
// engine reserves for itself. Any thread.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Platform/Foundation/RegularExpression.h"
#include "Platform/Foundation/Value.h"

class ZOVConnectorUtils {
 public:
  static const std::set<std::string>& allowedListenerOrigins();
  static const std::set<std::string>& blocklistedOrigins();
  static const std::set<std::string>& blocklistedEventNames();
  static const std::set<std::string>& blocklistedParameters();
  static const std::set<std::string>& blocklistedUserProperties();
  static const std::vector<std::shared_ptr<const ns::RegularExpression>>& blocklistedUserPropertyPatterns();
  static const std::set<std::string>& hiddenEventNames();

  static bool isOriginAllowed(const std::string& origin);
  // "app" and any origin beginning "app+".
  static bool isAppOrigin(const std::string& origin);
  static bool isListenerOriginAllowed(const std::string& origin);
  static bool isEventNameAllowedForListeners(const std::string& name);
  static bool shouldLogEventWithName(const std::string& name, const ns::Dictionary& parameters);
  // "_ln" only from "zcm" and "ziam".
  static bool isUserPropertyAllowed(const std::string& name, const std::string& origin);
  // Hides the engine's own ("_") names but "_fot".
  static bool isUserPropertyAllowedForQuery(const std::string& name);
};
