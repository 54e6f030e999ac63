// Reads a backup archive (layout in NTBackupsManager.h) straight from the
// zip file into folders of notes; nothing is unpacked to disk.
//
// A backup may come from anywhere, so it is read as a whole or not at all:
// an archive that holds a link or an encrypted entry, declares more than
// notes can be (or than memory holds, or far more than its own size holds:
// a bomb), has entries that share their data, or has any entry whose size
// or CRC differs from its header is refused, and nothing of it is
// restored. Every such refusal comes before a byte is inflated.
// Entry names are sanitized as an extraction would write them, so nothing
// names a place outside the archive's own folders.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Libraries/Archive/VLZipLimits.h"
#include "Notes/NTBackupsManager.h"
#include "Platform/Foundation/Error.h"

class NTBackupArchiveReader {
 public:
  // The caps of one read, fitted to what a store of notes can be and to a
  // quarter of the memory available (the archive's data and the notes made
  // from it are both held at once).
  static VLZipExtractionLimits limits();

  // The archive's folders, read under `limits` and, in total, at most 100
  // times the archive's size (16 MiB for a small one). `progress` (may be
  // empty) receives values from 0
  // rising to at most 0.8 while entries are read and checked, then to below
  // 1 while notes are made. A package whose text cannot be read is reported
  // and left out. nullopt, with the archive's error, when it is refused.
  static std::optional<NTBackupsManager::Folders> read(const std::string& path, const VLZipExtractionLimits& limits,
                                                       const std::function<void(float)>& progress,
                                                       ns::Error* error);
};
