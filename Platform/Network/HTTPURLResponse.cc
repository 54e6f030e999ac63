#include "Platform/Network/HTTPURLResponse.h"

#include <charconv>

namespace net {

int64_t HTTPURLResponse::expectedContentLength() const {
  std::optional<std::string> text = headers_.value("Content-Length");
  if (!text) return -1;
  int64_t length = -1;
  const char* end = text->data() + text->size();
  auto [ptr, ec] = std::from_chars(text->data(), end, length);
  if (ec != std::errc() || ptr != end || length < 0) return -1;
  return length;
}

}  // namespace net
