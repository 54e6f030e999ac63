// The upload messages (UploadMessages.proto): building and encoding a
// LogBatchRequest from a batch's events, and reading an UploadResponse.
#pragma once

#include <pb.h>

#include <cstdint>
#include <optional>
#include <string>

#include "Libraries/EventTransport/ZTCOREvent.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

// A newly allocated byte array (released by pb_release or free): the bytes
// of `data`, an empty array for absent data. Null when the bytes are more
// than the library's 16-bit length holds.
pb_bytes_array_t* ZTCCTBytesArrayFromData(const std::optional<ns::Data>& data);
// The same over the UTF-8 bytes of `text`.
pb_bytes_array_t* ZTCCTBytesArrayFromString(const std::string& text);

// The encoded LogBatchRequest of `events`: one LogSourceRequest per mapping
// ID. Empty when the request cannot be encoded whole (the failure is
// logged), so a half-written request is never sent.
ns::Data ZTCCTConstructRequestProtoWithEvents(const ZTCOREventSet& events);

// What the uploader reads from an UploadResponse.
struct ZTCCTUploadResponse {
  std::optional<int64_t> nextRequestWaitMillis;
};

// Decodes a whole response body. On failure every field is absent and
// `error` (may be null) gets NSURLErrorDomain -1 with "nanopb error:".
ZTCCTUploadResponse ZTCCTDecodeUploadResponse(const ns::Data& body, ns::Error* error);

// The event's 16-byte network-information record (presence byte, 3 bytes of
// padding, network type int32, presence byte, 3 bytes of padding, mobile
// subtype uint32; little-endian). Absent for any other size, a presence
// byte other than 0 or 1, or a subtype beyond what the wire enum holds.
struct ZTCCTNetworkInfo {
  std::optional<int32_t> networkType;
  std::optional<uint32_t> mobileSubtype;
};
std::optional<ZTCCTNetworkInfo> ZTCCTNetworkInfoFromData(const ns::Data& data);
