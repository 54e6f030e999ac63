#include "Libraries/Measurement/Core/MSREventNameMap.h"

const std::map<std::string, std::string, std::less<>>& MSREventNameMap() {
  static const auto* map = new std::map<std::string, std::string, std::less<>>{
      {"adunit_exposure", "_xu"},
      {"ad_activeview", "_aa"},
      {"ad_click", "_ac"},
      {"ad_exposure", "_xa"},
      {"ad_impression", "_ai"},
      {"ad_query", "_aq"},
      {"ad_reward", "_ar"},
      {"app_clear_data", "_cd"},
      {"app_exception", "_ae"},
      {"app_remove", "_ui"},
      {"app_store_refund", "_asr"},
      {"app_store_subscription_cancel", "_asse"},
      {"app_store_subscription_convert", "_assc"},
      {"app_store_subscription_renew", "_assr"},
      {"app_update", "_au"},
      {"app_upgrade", "_ug"},
      {"error", "_err"},
      {"dozaveve_campaign", "_cmp"},
      {"first_open", "_f"},
      {"first_visit", "_v"},
      {"za_campaign", "_cmp"},
      {"za_extra_parameter", "_ep"},
      {"in_app_purchase", "_iap"},
      {"notification_dismiss", "_nd"},
      {"notification_foreground", "_nf"},
      {"notification_open", "_no"},
      {"notification_receive", "_nr"},
      {"os_update", "_ou"},
      {"screen_view", "_vs"},
      {"session_start", "_s"},
      {"session_start_with_rollout", "_ssr"},
      {"user_engagement", "_e"},
  };
  return *map;
}

const std::map<std::string, std::string, std::less<>>& MSRInternalEventNameMap() {
  static const auto* map = [] {
    auto* inverse = new std::map<std::string, std::string, std::less<>>();
    // emplace keeps the first public name of an internal one: the map is in
    // name order, so "_cmp" keeps "dozaveve_campaign" on every run.
    for (const auto& [publicName, internalName] : MSREventNameMap()) inverse->emplace(internalName, publicName);
    return inverse;
  }();
  return *map;
}

const std::map<std::string, std::string, std::less<>>& MSRAdImpressionEventNameMap() {
  static const auto* map = new std::map<std::string, std::string, std::less<>>{{"ad_impression", "_ai"}};
  return *map;
}
