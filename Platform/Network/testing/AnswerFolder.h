// Answers from a folder of canned files, for the loopback-http-server
// program. For a request to <path> (its query ignored):
//   <root><path>        the body of a 200 answer ("<root><path>index" for a
//                       path ending in "/")
//   <root><path>.head   optional, read first: the status on its first line,
//                       then "Name: value" header lines and directives:
//                       "!delay SECONDS", "!chunked", "!close",
//                       "!stall-after BYTES", "!close-after BYTES"
// A path with neither file, or one that climbs out of the root, gets 404.
#pragma once

#include <optional>
#include <string>

#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace net::testing {

Answer answerFromFolder(const std::string& root, const RecordedRequest& request);

// Reads a ".head" file's text into `answer`; nullopt (with the line) when a
// line makes no sense.
std::optional<std::string> applyHead(const std::string& text, Answer& answer);

}  // namespace net::testing
