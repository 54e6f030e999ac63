#include "Platform/Network/detail/Curl.h"

#include <mutex>

#include "Platform/Loader/OnDemandLibrary.h"

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
    CurlFunctions found;
    bool all = true;
#define NET_CURL_FIND(name) \
  if (all) all = (found.name = library.function(found.name, "curl_" #name, &missing)) != nullptr;
    NET_CURL_FUNCTIONS(NET_CURL_FIND)
#undef NET_CURL_FIND
    if (all) curlFunctions = found;
    opened = all;
  });
  if (!opened && why) *why = missing;
  return opened;
}

}  // namespace net::detail
