// What the installations' debug lines may show of a request or an answer.
//
// Debug mode lasts across launches, so its lines must not hold the secrets
// that authorise the installation: the values of the "X-Zoro-Api-Key" and
// "Authorization" header fields, and the JSON values of "refreshToken" and
// "token" at any depth of a body, print as "<redacted>". Everything else
// prints as it came; a body that is not JSON prints unchanged.
#pragma once

#include <string>

#include "Platform/Foundation/Value.h"
#include "Platform/Network/HTTPHeaderFields.h"

inline constexpr const char* kZEVUdederozedaruRedactedValue = "<redacted>";

// The header fields as a dictionary description, secrets redacted.
std::string ZEVUdederozedaruRedactedHeaderFields(const net::HTTPHeaderFields& fields);
// The body as UTF-8 text, secret JSON values redacted.
std::string ZEVUdederozedaruRedactedBody(const ns::Data& body);
