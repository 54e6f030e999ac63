#include "Libraries/EventTransport/Sessions/ZOVSESUtilities.h"

#include <pb_decode.h>
#include <pb_encode.h>

#include <cstdlib>

#include "Libraries/EventTransport/Sessions/SessionEvent.pb.h"
#include "Libraries/EventTransport/ZTCCTNanopbHelpers.h"
#include "Platform/Foundation/Device.h"

void ZOVSESNanopbFree(void* pointer) { std::free(pointer); }

ns::Error ZOVSESMakeEncodingError(const std::string& message) {
  return ns::Error::withDescription(kZOVSESEncodeErrorDomain, -1, message);
}

namespace {

std::string errorText(const char* text) { return text ? text : "(none)"; }

}  // namespace

std::string ZOVSESNanopbErrorText(const pb_ostream_t& stream) { return errorText(PB_GET_ERROR(&stream)); }

std::string ZOVSESNanopbErrorText(const pb_istream_t& stream) { return errorText(PB_GET_ERROR(&stream)); }

std::optional<ns::Data> ZOVSESNanopbEncodeMessage(const pb_msgdesc_t* fields, const void* message, ns::Error* error) {
  pb_ostream_t sizing = PB_OSTREAM_SIZING;
  if (!pb_encode(&sizing, fields, message)) {
    ns::setError(error, ZOVSESMakeEncodingError("Error in nanopb encoding to get size: " +
                                                ZOVSESNanopbErrorText(sizing)));
    return std::nullopt;
  }
  ns::Data data(sizing.bytes_written);
  pb_ostream_t output = pb_ostream_from_buffer(data.data(), data.size());
  if (!pb_encode(&output, fields, message)) {
    ns::setError(error, ZOVSESMakeEncodingError("Error in nanopb encoding: " + ZOVSESNanopbErrorText(output)));
    return std::nullopt;
  }
  return data;
}

pb_bytes_array_t* ZOVSESBytesArrayFromData(const ns::Data& data) { return ZTCCTBytesArrayFromData(data); }

pb_bytes_array_t* ZOVSESBytesArrayFromString(const std::optional<std::string>& text) {
  return ZTCCTBytesArrayFromString(text.value_or(std::string()));
}

std::string ZOVSESStringFromBytesArray(const pb_bytes_array_t* array) {
  return std::string(reinterpret_cast<const char*>(array->bytes), array->size);
}

pb_size_t ZOVSESAppleAppInfoTag() { return dozaveve_appvitals_sessions_ApplicationInfo_apple_app_info_tag; }

// There is no system-control interface here: the device's facts stand in
// for the two names the sessions part asks for. Read at each call, as a
// test may boot another device.
std::optional<std::string> ZOVSESSysctlString(const std::string& name) {
  ns::DeviceFacts facts = ns::Device::current().facts();
  std::string value;
  if (name == "hw.machine") {
    value = facts.modelIdentifier;
  } else if (name == "kern.osversion") {
    value = facts.systemBuildVersion;
  }
  if (value.empty()) return std::nullopt;
  return value;
}
