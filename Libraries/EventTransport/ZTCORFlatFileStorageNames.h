// The names the flat-file store gives its files, and reading them back.
//
// Event file: <eventID>-<qosTier>-<expiration>-<mappingID>, expiration in
// whole seconds since 1970 and the mapping ID escaped: every character
// outside the Unicode letters, marks and digits and "-" becomes the %XX of
// its UTF-8 bytes (upper-case digits), so a "/" is "%2F" and a "-" stays.
// Batch directory: <target>-<batchID>-<expiration>; a name of any other
// number of "-" parts is not a batch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Libraries/EventTransport/ZTCORTargets.h"
#include "Platform/Foundation/Date.h"

struct ZTCOREventComponents {
  std::string eventID;
  ZTCOREventQoSTier qosTier = 0;
  ns::Date expiration;
  std::string mappingID;  // still escaped
};

struct ZTCORBatchComponents {
  ZTCORUploadTargetID target = 0;
  int64_t batchID = 0;
  ns::Date expiration;
};

std::string ZTCOREscapeMappingID(const std::string& mappingID);
// Undoes the %XX escapes; anything else stays as it is.
std::string ZTCORUnescapeMappingID(const std::string& escaped);

std::string ZTCOREventFilename(const std::string& eventID, ZTCOREventQoSTier qosTier, ns::Date expiration,
                               const std::string& mappingID);
std::string ZTCORBatchDirectoryName(ZTCORUploadTargetID target, int64_t batchID, ns::Date expiration);

// Nullopt (and a debug line) for a name that is not an event's or a batch's.
std::optional<ZTCOREventComponents> ZTCOREventComponentsFromFilename(const std::string& name);
std::optional<ZTCORBatchComponents> ZTCORBatchComponentsFromFilename(const std::string& name);
