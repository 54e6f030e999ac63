// libcurl, opened when the engine thread starts rather than at program
// start: a launch that never reaches the network does not map it and the
// two dozen libraries it pulls in (TLS, HTTP/2, IDN, Kerberos, LDAP, ...),
// and one that does opens it on the engine's thread, beside the launch.
//
// Include this in place of <curl/curl.h>. The curl functions this layer
// calls keep their own names, so the code reads as libcurl's API; each
// name stands for the function found in the opened library. openCurl()
// must have succeeded before any of them is called (the engine thread
// calls it first; nothing else touches libcurl).
#pragma once

#include <curl/curl.h>

#include <string>

#include "Platform/Loader/OnDemandLibrary.h"

namespace net::detail {

#define NET_CURL_FUNCTIONS(X) X(curl_, global_init) X(curl_, easy_init) X(curl_, easy_setopt) X(curl_, easy_reset) \
  X(curl_, easy_cleanup) X(curl_, multi_init) X(curl_, multi_cleanup) X(curl_, multi_add_handle) X(curl_, multi_remove_handle) \
  X(curl_, multi_perform) X(curl_, multi_poll) X(curl_, multi_wakeup) X(curl_, multi_timeout) \
  X(curl_, multi_info_read) X(curl_, share_init) X(curl_, share_setopt) X(curl_, share_cleanup) \
  X(curl_, slist_append) X(curl_, slist_free_all)

// The functions, typed by curl's own declarations.
struct CurlFunctions {
  NET_CURL_FUNCTIONS(LOADER_TABLE_MEMBER)
};

extern CurlFunctions curlFunctions;

// Opens libcurl and finds every function above, once (thread-safe); false
// with the dynamic linker's reason when the library or a function is
// missing.
bool openCurl(std::string* why);

}  // namespace net::detail

// curl's names for the functions found (its header's type-checking macros
// give way to them).
#undef curl_easy_setopt
#undef curl_share_setopt
#define curl_global_init ::net::detail::curlFunctions.global_init
#define curl_easy_init ::net::detail::curlFunctions.easy_init
#define curl_easy_setopt ::net::detail::curlFunctions.easy_setopt
#define curl_easy_reset ::net::detail::curlFunctions.easy_reset
#define curl_easy_cleanup ::net::detail::curlFunctions.easy_cleanup
#define curl_multi_init ::net::detail::curlFunctions.multi_init
#define curl_multi_cleanup ::net::detail::curlFunctions.multi_cleanup
#define curl_multi_add_handle ::net::detail::curlFunctions.multi_add_handle
#define curl_multi_remove_handle ::net::detail::curlFunctions.multi_remove_handle
#define curl_multi_perform ::net::detail::curlFunctions.multi_perform
#define curl_multi_poll ::net::detail::curlFunctions.multi_poll
#define curl_multi_wakeup ::net::detail::curlFunctions.multi_wakeup
#define curl_multi_timeout ::net::detail::curlFunctions.multi_timeout
#define curl_multi_info_read ::net::detail::curlFunctions.multi_info_read
#define curl_share_init ::net::detail::curlFunctions.share_init
#define curl_share_setopt ::net::detail::curlFunctions.share_setopt
#define curl_share_cleanup ::net::detail::curlFunctions.share_cleanup
#define curl_slist_append ::net::detail::curlFunctions.slist_append
#define curl_slist_free_all ::net::detail::curlFunctions.slist_free_all
