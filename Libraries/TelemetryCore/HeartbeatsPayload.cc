#include "Libraries/TelemetryCore/HeartbeatsPayload.h"

#include <nlohmann/json.hpp>

#include "Libraries/TelemetryFoundation/ZULGzip.h"
#include "Platform/Foundation/DateFormatter.h"
#include "Platform/Foundation/Encoding.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/TimeZone.h"

namespace zovcore {

namespace {

const ns::DateFormatter& dayFormatter() {
  static const ns::DateFormatter* formatter = [] {
    auto* f = new ns::DateFormatter();
    f->setDateFormat("yyyy-MM-dd");
    f->setLocale(ns::Locale::posix());
    f->setTimeZone(ns::TimeZone::gmt());
    return f;
  }();
  return *formatter;
}

}  // namespace

const HeartbeatsPayload& HeartbeatsPayload::emptyPayload() {
  static const HeartbeatsPayload* empty = new HeartbeatsPayload();
  return *empty;
}

// Text that is not UTF-8 is written with replacement characters, so
// encoding cannot fail.
std::string HeartbeatsPayload::jsonText() const {
  nlohmann::json heartbeats = nlohmann::json::array();
  for (const auto& payload : userAgentPayloads) {
    nlohmann::json dates = nlohmann::json::array();
    for (ns::Date date : payload.dates) dates.push_back(dayFormatter().stringFromDate(date));
    heartbeats.push_back({{"agent", payload.agent}, {"dates", std::move(dates)}});
  }
  nlohmann::json document = {{"heartbeats", std::move(heartbeats)}, {"version", version}};
  return document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string HeartbeatsPayload::headerValue() const {
  std::string json = jsonText();
  ns::Bytes plain = ns::bytesOf(json);
  std::optional<ns::Data> gzipped = ZULGzip::zul_dataByGzippingData(plain, nullptr);
  return gzipped ? ns::base64UrlEncode(*gzipped, false) : ns::base64UrlEncode(plain, false);
}

}  // namespace zovcore
