#include "Platform/Network/URLRequest.h"

namespace net {

void URLRequest::setValue(std::optional<std::string> value, std::string_view field) {
  if (value) {
    headers_.set(field, std::move(*value));
  } else {
    headers_.remove(field);
  }
}

bool URLRequest::operator==(const URLRequest& other) const {
  bool sameBody = body_ == other.body_ || (body_ && other.body_ && *body_ == *other.body_);
  return sameBody && url_ == other.url_ && method_ == other.method_ && headers_ == other.headers_ &&
         cachePolicy_ == other.cachePolicy_ && timeoutInterval_ == other.timeoutInterval_;
}

}  // namespace net
