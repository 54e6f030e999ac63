// LogBatchRequest from events, UploadResponse from a body.
#include "Libraries/EventTransport/ZTCCTNanopbHelpers.h"

#include <pb_decode.h>
#include <pb_encode.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "Libraries/EventTransport/UploadMessages.pb.h"
#include "Libraries/EventTransport/ZTCORClock.h"
#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORPlatform.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Network/URLError.h"

namespace {

constexpr long kEncodingMessageCode = 1006;

// The leading decimal integer of `text` (after blanks, with a sign),
// clamped to int32; 0 when it starts with none.
int32_t leadingInteger(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) break;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// Writes the event's payload as it is: no copy, no 16-bit size limit.
bool encodeSourceExtension(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
  const auto* bytes = static_cast<const ns::Data*>(*arg);
  if (!pb_encode_tag_for_field(stream, field)) return false;
  if (!bytes) return pb_encode_string(stream, nullptr, 0);
  return pb_encode_string(stream, bytes->data(), bytes->size());
}

// Fills the presence and value of an absent-or-text field; false when the
// text does not fit (the request would be incomplete).
bool setText(pb_bytes_array_t** field, const std::string& text) {
  *field = ZTCCTBytesArrayFromString(text);
  return *field != nullptr;
}

bool fillAppleClientInfo(AppleClientInfo* info) {
  const ns::DeviceFacts facts = ns::Device::current().facts();
  const std::string& version = facts.systemVersion;
  auto bundle = ns::Bundle::mainBundle();
  bool ok = setText(&info->os_major_version, version.substr(0, version.find('.')));
  ok = setText(&info->os_full_version, version) && ok;
  if (bundle) {
    const ns::Value* build = bundle->infoDictionary().find("CFBundleVersion");
    if (build && build->asString()) ok = setText(&info->application_build, *build->asString()) && ok;
  }
  if (auto country = ns::Locale::current().regionCode()) ok = setText(&info->country, *country) && ok;
  ok = setText(&info->model, ZTCORDeviceModelString()) && ok;
  std::string language = "en";
  if (bundle) {
    auto localizations = bundle->preferredLocalizations();
    if (!localizations.empty()) language = localizations.front();
  }
  ok = setText(&info->language_code, language) && ok;
  std::string bundleID = bundle ? bundle->bundleIdentifier().value_or("") : "";
  ok = setText(&info->application_bundle_id, bundleID) && ok;
  return ok;
}

void fillEvent(LogEventRecord* record, const ZTCOREvent& event) {
  if (const auto& clock = event.clockSnapshot()) {
    record->has_event_time_ms = true;
    record->event_time_ms = clock->timeMillis();
    record->has_timezone_offset_seconds = true;
    record->timezone_offset_seconds = clock->timezoneOffsetSeconds();
    record->has_event_uptime_ms = true;
    record->event_uptime_ms = clock->uptimeMilliseconds();
  }
  const auto& payload = event.serializedDataObjectBytes();
  record->source_extension.funcs.encode = encodeSourceExtension;
  record->source_extension.arg = payload ? const_cast<ns::Data*>(&*payload) : nullptr;
  if (!event.customBytes()) return;
  if (auto code = event.eventCode()) {
    record->has_event_code = true;
    record->event_code = static_cast<int32_t>(*code);
  }
  auto networkData = event.networkConnectionInfoData();
  auto network = networkData ? ZTCCTNetworkInfoFromData(*networkData) : std::nullopt;
  if (network) {
    record->has_network_connection_info = true;
    auto& info = record->network_connection_info;
    info.has_network_type = network->networkType.has_value();
    info.network_type = static_cast<NetworkInfoRecord_NetworkType>(network->networkType.value_or(-1));
    info.has_mobile_subtype = network->mobileSubtype.has_value();
    info.mobile_subtype = static_cast<NetworkInfoRecord_MobileSubtype>(network->mobileSubtype.value_or(0));
  }
}

// Fills one LogSourceRequest; false when a field could not be filled whole.
bool fillSourceRequest(LogSourceRequest* request, const std::string& mappingID,
                       const std::vector<const ZTCOREvent*>& events, const ZTCORClock& now) {
  if (events.empty()) {
    ZTCORConsoleLog(kEncodingMessageCode, ZTCORLogLevelError, "An empty event set can't be serialized to proto.");
    return true;
  }
  request->has_client_info = true;
  request->client_info.has_client_type = true;
  request->client_info.client_type = ClientInfo_ClientType_MOBILE_CLIENT;
  request->client_info.has_apple_client_info = true;
  bool ok = fillAppleClientInfo(&request->client_info.apple_client_info);
  request->has_log_source = true;
  request->log_source = leadingInteger(mappingID);
  request->has_request_time_ms = true;
  request->request_time_ms = now.timeMillis();
  request->has_request_uptime_ms = true;
  request->request_uptime_ms = now.uptimeMilliseconds();
  if (events.size() > PB_SIZE_MAX) return false;
  request->events = static_cast<LogEventRecord*>(calloc(events.size(), sizeof(LogEventRecord)));
  if (!request->events) return false;
  request->events_count = static_cast<pb_size_t>(events.size());
  for (size_t i = 0; i < events.size(); ++i) fillEvent(&request->events[i], *events[i]);
  return ok;
}

void logEncodingError(const char* format, const pb_ostream_t& stream) {
  const char* text = PB_GET_ERROR(&stream);
  ZTCORConsoleLog(kEncodingMessageCode, ZTCORLogLevelError, format, text && *text ? text : "(none)");
}

}  // namespace

pb_bytes_array_t* ZTCCTBytesArrayFromData(const std::optional<ns::Data>& data) {
  size_t size = data ? data->size() : 0;
  if (size > PB_SIZE_MAX) return nullptr;
  auto* array = static_cast<pb_bytes_array_t*>(malloc(PB_BYTES_ARRAY_T_ALLOCSIZE(size)));
  if (!array) return nullptr;
  array->size = static_cast<pb_size_t>(size);
  if (size) memcpy(array->bytes, data->data(), size);
  return array;
}

pb_bytes_array_t* ZTCCTBytesArrayFromString(const std::string& text) {
  return ZTCCTBytesArrayFromData(ns::Data(text.begin(), text.end()));
}

std::optional<ZTCCTNetworkInfo> ZTCCTNetworkInfoFromData(const ns::Data& data) {
  if (data.size() != 16) return std::nullopt;
  auto word = [&](size_t at) {
    return uint32_t{data[at]} | uint32_t{data[at + 1]} << 8 | uint32_t{data[at + 2]} << 16 |
           uint32_t{data[at + 3]} << 24;
  };
  if (data[0] > 1 || data[8] > 1) return std::nullopt;
  ZTCCTNetworkInfo info;
  if (data[0]) info.networkType = static_cast<int32_t>(word(4));
  if (data[8]) {
    // The wire enum is a 32-bit signed number: a larger subtype would be
    // sent as a negative one.
    if (word(12) > INT32_MAX) return std::nullopt;
    info.mobileSubtype = word(12);
  }
  return info;
}

ns::Data ZTCCTConstructRequestProtoWithEvents(const ZTCOREventSet& events) {
  std::map<std::string, std::vector<const ZTCOREvent*>> byMappingID;
  for (const auto& event : events) {
    if (event) byMappingID[event->mappingID()].push_back(event.get());
  }
  LogBatchRequest request = LogBatchRequest_init_zero;
  bool whole = byMappingID.size() <= PB_SIZE_MAX;
  if (whole && !byMappingID.empty()) {
    request.requests = static_cast<LogSourceRequest*>(calloc(byMappingID.size(), sizeof(LogSourceRequest)));
    whole = request.requests != nullptr;
  }
  if (whole) {
    request.requests_count = static_cast<pb_size_t>(byMappingID.size());
    auto now = ZTCORClock::snapshot();
    LogSourceRequest* entry = request.requests;
    for (const auto& [mappingID, group] : byMappingID) {
      whole = fillSourceRequest(entry++, mappingID, group, *now) && whole;
    }
  }

  ns::Data bytes;
  if (!whole) {
    ZTCORConsoleLog(kEncodingMessageCode, ZTCORLogLevelError, "Error in nanopb encoding for size: %s",
                    "a field does not fit its record");
  } else {
    pb_ostream_t sizing = PB_OSTREAM_SIZING;
    if (!pb_encode(&sizing, LogBatchRequest_fields, &request)) {
      logEncodingError("Error in nanopb encoding for size: %s", sizing);
    } else {
      bytes.resize(sizing.bytes_written);
      pb_ostream_t output = pb_ostream_from_buffer(bytes.data(), bytes.size());
      if (!pb_encode(&output, LogBatchRequest_fields, &request) || output.bytes_written != bytes.size()) {
        logEncodingError("Error in nanopb encoding for bytes: %s", output);
        // A partial request would be answered as malformed and its events deleted.
        bytes.clear();
      }
    }
  }
  pb_release(LogBatchRequest_fields, &request);
  return bytes;
}

ZTCCTUploadResponse ZTCCTDecodeUploadResponse(const ns::Data& body, ns::Error* error) {
  UploadResponse message = UploadResponse_init_zero;
  pb_istream_t stream = pb_istream_from_buffer(body.data(), body.size());
  ZTCCTUploadResponse response;
  if (pb_decode(&stream, UploadResponse_fields, &message)) {
    if (message.has_next_request_wait_ms) response.nextRequestWaitMillis = message.next_request_wait_ms;
  } else {
    const char* text = PB_GET_ERROR(&stream);
    ns::Dictionary info;
    info.set("nanopb error:", std::string(text && *text ? text : "(none)"));
    ns::setError(error, ns::Error(net::kURLErrorDomain, -1, std::move(info)));
  }
  pb_release(UploadResponse_fields, &message);
  return response;
}
