#include "Platform/Network/URLRequest.h"

namespace net {

void URLRequest::setValue(std::optional<std::string> value, std::string_view field) {
  if (value) {
    headers_.set(field, std::move(*value));
  } else {
    headers_.remove(field);
  }
}

}  // namespace net
