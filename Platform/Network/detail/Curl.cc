#include "Platform/Network/detail/Curl.h"

#include <mutex>

namespace net::detail {

CurlFunctions curlFunctions;

bool openCurl(std::string* why) {
  // The major version the program was built against: libcurl has kept it
  // since 2006.
  static loader::OnDemandLibrary library("libcurl.so.4");
  static std::once_flag once;
  static bool opened = false;
  static std::string missing;
  std::call_once(once, [] {
    CurlFunctions table;
    std::string* why = &missing;
    opened = true NET_CURL_FUNCTIONS(LOADER_TABLE_FIND);
    if (opened) curlFunctions = table;
  });
  if (!opened && why) *why = missing;
  return opened;
}

}  // namespace net::detail
