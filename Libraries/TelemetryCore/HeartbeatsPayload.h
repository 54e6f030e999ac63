// What the stored heartbeats drain into: one entry per user agent with the
// days it was seen, and the value of the request header that carries it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Platform/Foundation/Date.h"

namespace zovcore {

struct UserAgentPayload {
  std::string agent;
  std::vector<ns::Date> dates;

  bool operator==(const UserAgentPayload&) const = default;
};

struct HeartbeatsPayload {
  std::vector<UserAgentPayload> userAgentPayloads;  // sorted by agent
  int64_t version = 2;

  // No user agents, version 2.
  static const HeartbeatsPayload& emptyPayload();
  bool isEmpty() const { return userAgentPayloads.empty(); }

  // The JSON {"heartbeats": [{"agent": ..., "dates": ["yyyy-MM-dd", ...]}],
  // "version": 2} (dates in GMT), gzipped (plain when gzip fails), in
  // URL-safe base64 without padding ("-" for "+", "_" for "/", no "=").
  std::string headerValue() const;
  // The JSON text before compression.
  std::string jsonText() const;

  bool operator==(const HeartbeatsPayload&) const = default;
};

}  // namespace zovcore
