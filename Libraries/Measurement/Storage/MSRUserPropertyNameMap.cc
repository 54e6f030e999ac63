#include "Libraries/Measurement/Storage/MSRUserPropertyNameMap.h"

const std::map<std::string, std::string, std::less<>>& MSRUserPropertyNameMap() {
  static const auto* map = new std::map<std::string, std::string, std::less<>>{
      {"dozaveve_last_notification", "_ln"},
      {"first_open_after_install", "_fi"},
      {"first_open_time", "_fot"},
      {"za_session_id", "_sid"},
      {"za_session_number", "_sno"},
      {"last_advertising_id_reset", "_lair"},
      {"last_deep_link_referrer", "_ldl"},
      {"lifetime_user_engagement", "_lte"},
      {"session_user_engagement", "_se"},
      {"user_id", "_id"},
  };
  return *map;
}
