// The error domain of zip extraction and inspection, its codes and texts.
#pragma once

#include <cstdint>
#include <string>

#include "Platform/Foundation/Error.h"

inline constexpr const char* kVLZipArchiveErrorDomain = "VLZipArchiveErrorDomain";

enum VLZipArchiveErrorCode : int64_t {
  VLZipArchiveErrorCodeFailedOpenZipFile = -1,
  VLZipArchiveErrorCodeFailedOpenFileInZip = -2,
  VLZipArchiveErrorCodeFileInfoNotLoadable = -3,
  VLZipArchiveErrorCodeFileContentNotReadable = -4,
  VLZipArchiveErrorCodeFailedToWriteFile = -5,
  VLZipArchiveErrorCodeInvalidArguments = -6,
  // An entry would be written outside the destination (a link leaving it,
  // or a path through a link that leaves it).
  VLZipArchiveErrorCodeUnsafeEntry = -7,
  // The archive holds more entries or more bytes than one extraction may write.
  VLZipArchiveErrorCodeLimitExceeded = -8,
};

// An error of the domain with `message` as its localized description.
inline ns::Error VLZipArchiveError(int64_t code, const std::string& message) {
  return ns::Error::withDescription(kVLZipArchiveErrorDomain, code, message);
}
