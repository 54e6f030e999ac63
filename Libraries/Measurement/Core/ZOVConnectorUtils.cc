#include "Libraries/Measurement/Core/ZOVConnectorUtils.h"

const std::set<std::string>& ZOVConnectorUtils::allowedListenerOrigins() {
  static const std::set<std::string> list{"ziam", "crash", "crx"};
  return list;
}

const std::set<std::string>& ZOVConnectorUtils::blocklistedOrigins() {
  static const std::set<std::string> list{"auto", "app", "am"};
  return list;
}

const std::set<std::string>& ZOVConnectorUtils::blocklistedEventNames() {
  static const std::set<std::string> list{"_e", "_f", "_iap", "_s", "_au"};
  return list;
}

const std::set<std::string>& ZOVConnectorUtils::blocklistedParameters() {
  static const std::set<std::string> list{"_r", "_dbg"};
  return list;
}

const std::set<std::string>& ZOVConnectorUtils::blocklistedUserProperties() {
  static const std::set<std::string> list{"_fot", "_ln", "_id", "_fi", "_lte", "_sid", "_sno"};
  return list;
}

const std::vector<std::shared_ptr<const ns::RegularExpression>>& ZOVConnectorUtils::blocklistedUserPropertyPatterns() {
  static const std::vector<std::shared_ptr<const ns::RegularExpression>> list{
      ns::RegularExpression::make("^_ltv_[A-Z]{3}$"), ns::RegularExpression::make("^_cc[1-5]{1}$")};
  return list;
}

const std::set<std::string>& ZOVConnectorUtils::hiddenEventNames() {
  static const std::set<std::string> list{"_xa",      "_xu",       "_aq",           "_aa",         "_ai",
                                          "_ac",      "campaign_details", "_iapx", "_ug",         "_exp_set",
                                          "_exp_clear", "_exp_activate", "_exp_timeout", "_exp_expire"};
  return list;
}

bool ZOVConnectorUtils::isOriginAllowed(const std::string& origin) { return !blocklistedOrigins().contains(origin); }

bool ZOVConnectorUtils::isAppOrigin(const std::string& origin) {
  return origin == "app" || origin.starts_with("app+");
}

bool ZOVConnectorUtils::isListenerOriginAllowed(const std::string& origin) {
  return allowedListenerOrigins().contains(origin);
}

bool ZOVConnectorUtils::isEventNameAllowedForListeners(const std::string& name) {
  return !hiddenEventNames().contains(name);
}

bool ZOVConnectorUtils::shouldLogEventWithName(const std::string& name, const ns::Dictionary& parameters) {
  if (name.empty() || blocklistedEventNames().contains(name)) return false;
  if (parameters.empty()) return true;
  for (const auto& key : blocklistedParameters()) {
    if (parameters.find(key) != nullptr) return false;
  }
  return true;
}

bool ZOVConnectorUtils::isUserPropertyAllowed(const std::string& name, const std::string& origin) {
  if (name.empty()) return false;
  if (name == "_ln") return origin == "zcm" || origin == "ziam";
  if (blocklistedUserProperties().contains(name)) return false;
  for (const auto& pattern : blocklistedUserPropertyPatterns()) {
    if (pattern && pattern->firstMatch(std::string_view(name))) return false;
  }
  return true;
}

bool ZOVConnectorUtils::isUserPropertyAllowedForQuery(const std::string& name) {
  if (name.empty()) return false;
  if (name == "_fot") return true;
  return !name.starts_with("_");
}
