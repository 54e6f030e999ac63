#include "Libraries/EventTransport/ZTCORFlatFileStorageNames.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"

namespace {

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

bool keepsUnescaped(UChar32 c) {
  if (c == '-') return true;
  return (U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A whole decimal integer (optional sign) or nullopt.
std::optional<int64_t> parseInteger(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size()) return std::nullopt;
  return value;
}

uint64_t wholeSeconds(ns::Date date) {
  double seconds = date.timeIntervalSince1970();
  return seconds <= 0 ? 0 : static_cast<uint64_t>(seconds);
}

}  // namespace

std::string ZTCOREscapeMappingID(const std::string& mappingID) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  const auto* bytes = reinterpret_cast<const uint8_t*>(mappingID.data());
  int32_t length = static_cast<int32_t>(mappingID.size());
  int32_t i = 0;
  while (i < length) {
    int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c >= 0 && keepsUnescaped(c)) {
      out.append(mappingID, start, i - start);
      continue;
    }
    for (int32_t b = start; b < i; ++b) {
      out += '%';
      out += kHex[bytes[b] >> 4];
      out += kHex[bytes[b] & 0xF];
    }
  }
  return out;
}

std::string ZTCORUnescapeMappingID(const std::string& escaped) {
  std::string out;
  for (size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] == '%' && i + 2 < escaped.size() && hexDigit(escaped[i + 1]) >= 0 &&
        hexDigit(escaped[i + 2]) >= 0) {
      out += static_cast<char>(hexDigit(escaped[i + 1]) * 16 + hexDigit(escaped[i + 2]));
      i += 2;
    } else {
      out += escaped[i];
    }
  }
  return out;
}

std::string ZTCOREventFilename(const std::string& eventID, ZTCOREventQoSTier qosTier, ns::Date expiration,
                               const std::string& mappingID) {
  return ns::format("%@%@%ld%@%llu%@%@", eventID, "-", static_cast<long>(qosTier), "-",
                    static_cast<unsigned long long>(wholeSeconds(expiration)), "-", ZTCOREscapeMappingID(mappingID));
}

std::string ZTCORBatchDirectoryName(ZTCORUploadTargetID target, int64_t batchID, ns::Date expiration) {
  return ns::format("%ld%@%ld%@%llu", static_cast<long>(target), "-", static_cast<long>(batchID), "-",
                    static_cast<unsigned long long>(wholeSeconds(expiration)));
}

std::optional<ZTCOREventComponents> ZTCOREventComponentsFromFilename(const std::string& name) {
  auto parts = split(name, '-');
  if (parts.size() < 4) {
    ZTCORLogDebug("The event filename could not be split: %@", name);
    return std::nullopt;
  }
  auto tier = parseInteger(parts[1]);
  auto expiration = parseInteger(parts[2]);
  if (parts[0].empty() || !tier || !expiration) {
    ZTCORLogDebug("There was an error parsing the event filename components: %@", name);
    return std::nullopt;
  }
  std::string mappingID = parts[3];
  for (size_t i = 4; i < parts.size(); ++i) mappingID += "-" + parts[i];
  return ZTCOREventComponents{parts[0], *tier, ns::Date::fromUnixTime(static_cast<double>(*expiration)), mappingID};
}

std::optional<ZTCORBatchComponents> ZTCORBatchComponentsFromFilename(const std::string& name) {
  auto parts = split(name, '-');
  if (parts.size() != 3) {
    ZTCORLogDebug("The batch filename could not be split: %@", name);
    return std::nullopt;
  }
  auto target = parseInteger(parts[0]);
  auto batchID = parseInteger(parts[1]);
  char* end = nullptr;
  double expiration = std::strtod(parts[2].c_str(), &end);
  if (!target || !batchID || parts[2].empty() || end != parts[2].c_str() + parts[2].size()) {
    ZTCORLogDebug("There was an error parsing the batch filename components: %@", name);
    return std::nullopt;
  }
  return ZTCORBatchComponents{*target, *batchID, ns::Date::fromUnixTime(expiration)};
}
