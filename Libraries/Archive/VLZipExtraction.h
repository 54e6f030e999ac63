// One extraction of a whole archive into a directory: the full unzip
// operation behind every extraction form of VLZipArchive.
//
// Archives are untrusted: nothing is written outside the destination, file
// permissions are masked to 0777 with the owner's read and write kept, and
// an archive whose central directory declares more entries or bytes than
// the limits allow is refused before anything is written (nested archives
// share the budget). Every entry read whole is checked against its size and
// CRC. An entry that cannot be written (a name too long, a file where a
// folder goes) is logged and skipped; only a full disk or too many open
// files stop the extraction.
#pragma once

#include <minizip/unzip.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "Libraries/Archive/VLZipArchiveDelegate.h"
#include "Libraries/Archive/VLZipLimits.h"
#include "Platform/Foundation/Error.h"

class VLZipExtraction {
 public:
  // (sanitized entry name, entry information, entry index, entry count)
  using ProgressHandler =
      std::function<void(const std::string& entry, const unz_file_info64& zipInfo, long entryNumber, long total)>;
  // (archive path, absent for the first failures; success; the error, if any)
  using CompletionHandler = std::function<void(const std::optional<std::string>& path, bool succeeded,
                                               const std::optional<ns::Error>& error)>;

  // Process-wide; read when an extraction starts.
  static VLZipExtractionLimits limits();
  static void setLimits(const VLZipExtractionLimits& limits);

  static bool run(const std::string& path, const std::string& destination, bool preserveAttributes, bool overwrite,
                  long nestedZipLevel, const std::optional<std::string>& password, ns::Error* error,
                  VLZipArchiveDelegate* delegate, const ProgressHandler& progressHandler,
                  const CompletionHandler& completionHandler);
};
