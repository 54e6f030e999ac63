// What the installations' debug lines may show of a request or an answer.
//
// Debug mode lasts across launches, so its lines must not hold the secrets
// that authorise the installation: the values of the "X-Zoro-Api-Key",
// "Authorization" and "x-zoro-zis-ios-iid-migration-auth" (the legacy
// token) header fields, and the JSON values of "refreshToken" and "token"
// at any depth of a body, print as "<redacted>". An answer that is not a
// success may hold anything (the server may echo what it was sent): its
// whole body prints as "<redacted>". Everything else prints as it came; a
// body that is not JSON prints unchanged.
#pragma once

#include <string>

#include "Platform/Foundation/Value.h"
#include "Platform/Network/HTTPHeaderFields.h"

inline constexpr const char* kZEVUdederozedaruRedactedValue = "<redacted>";

// The header fields as a dictionary description, secrets redacted.
std::string ZEVUdederozedaruRedactedHeaderFields(const net::HTTPHeaderFields& fields);
// The body as UTF-8 text, secret JSON values redacted.
std::string ZEVUdederozedaruRedactedBody(const ns::Data& body);
// An answer's body: as above for a status of 200 to 299, else "<redacted>"
// ("" when empty).
std::string ZEVUdederozedaruRedactedAnswerBody(const ns::Data& body, int status);
