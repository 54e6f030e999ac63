#include "Libraries/Archive/VLZipExtraction.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <vector>

#include "Libraries/Archive/VLZipArchiveErrors.h"
#include "Libraries/Archive/VLZipDates.h"
#include "Libraries/Archive/VLZipDestination.h"
#include "Libraries/Archive/VLZipEmptyArchive.h"
#include "Libraries/Archive/VLZipEntryNames.h"
#include "Libraries/Archive/VLZipEntryReader.h"
#include "Libraries/Archive/VLZipLog.h"
#include "Platform/Foundation/FileManager.h"

namespace {

constexpr size_t kBufferSize = 4096;
// Longer link targets are not paths any system accepts.
constexpr size_t kMaxLinkTarget = 4096;

std::mutex& limitsMutex() {
  static std::mutex m;
  return m;
}
VLZipExtractionLimits& currentLimits() {
  static VLZipExtractionLimits limits;
  return limits;
}

struct DirectoryDate {
  std::string path;
  ns::Date modDate;
};

// Sets the modification time of the item itself (a link is not followed).
bool setModificationDate(const std::string& path, ns::Date date) {
  double seconds = date.timeIntervalSince1970();
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = static_cast<long>((seconds - static_cast<double>(times[1].tv_sec)) * 1e9);
  if (times[1].tv_nsec < 0) {
    times[1].tv_sec -= 1;
    times[1].tv_nsec += 1000000000L;
  }
  return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool writeAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, bytes, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string lowercasedExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

ns::Error unsafeEntryError(const std::string& path) {
  return VLZipArchiveError(VLZipArchiveErrorCodeUnsafeEntry,
                           "entry would be written outside the destination: \"" + path + "\"");
}

ns::Error limitError() {
  return VLZipArchiveError(VLZipArchiveErrorCodeLimitExceeded, "archive exceeds the extraction limits");
}

}  // namespace

VLZipExtractionLimits VLZipExtraction::limits() {
  std::lock_guard lock(limitsMutex());
  return currentLimits();
}

void VLZipExtraction::setLimits(const VLZipExtractionLimits& limits) {
  std::lock_guard lock(limitsMutex());
  currentLimits() = limits;
}

bool VLZipExtraction::run(const std::string& path, const std::string& destination, bool preserveAttributes,
                          bool overwrite, long nestedZipLevel, const std::optional<std::string>& password,
                          ns::Error* error, VLZipArchiveDelegate* delegate, const ProgressHandler& progressHandler,
                          const CompletionHandler& completionHandler) {
  VLZipExtractionLimits l = limits();
  Budget budget{l.maxTotalBytes, l.maxEntries};
  return runWithBudget(path, destination, preserveAttributes, overwrite, nestedZipLevel, password, error, delegate,
                       progressHandler, completionHandler, &budget);
}

bool VLZipExtraction::runWithBudget(const std::string& path, const std::string& destination, bool preserveAttributes,
                                    bool overwrite, long nestedZipLevel, const std::optional<std::string>& password,
                                    ns::Error* error, VLZipArchiveDelegate* delegate,
                                    const ProgressHandler& progressHandler,
                                    const CompletionHandler& completionHandler, Budget* budget) {
  auto failEarly = [&](const ns::Error& e) {
    ns::setError(error, e);
    if (completionHandler) completionHandler(std::nullopt, false, e);
    return false;
  };
  if (path.empty() || destination.empty())
    return failEarly(VLZipArchiveError(VLZipArchiveErrorCodeInvalidArguments, "received invalid argument(s)"));

  unz_global_info64 globalInfo{};
  unzFile zip = unzOpen64(path.c_str());
  // minizip refuses an archive without entries; it extracts to nothing.
  uint64_t commentLength = 0;
  const bool empty = !zip && VLZipEmptyArchive::isEmptyArchive(path, &commentLength);
  if (!zip && !empty)
    return failEarly(VLZipArchiveError(VLZipArchiveErrorCodeFailedOpenZipFile, "failed to open zip file"));

  struct stat archiveStat {};
  const uint64_t archiveSize = ::stat(path.c_str(), &archiveStat) == 0 ? static_cast<uint64_t>(archiveStat.st_size) : 0;
  if (zip) {
    unzGetGlobalInfo64(zip, &globalInfo);
  } else {
    globalInfo.size_comment = static_cast<uLong>(commentLength);
  }
  int ret = zip ? unzGoToFirstFile(zip) : UNZ_END_OF_LIST_OF_FILE;
  if (ret != UNZ_OK && ret != UNZ_END_OF_LIST_OF_FILE) {
    unzClose(zip);
    return failEarly(
        VLZipArchiveError(VLZipArchiveErrorCodeFailedOpenFileInZip, "failed to open first file in zip file"));
  }

  bool success = true;
  bool canceled = false;
  bool crcError = false;
  std::optional<ns::Error> unzipError;
  std::vector<DirectoryDate> directoryDates;
  std::vector<char> buffer(kBufferSize);
  const bool usePassword = password && !password->empty();
  const long total = static_cast<long>(globalInfo.number_entry);

  if (delegate) {
    delegate->zipArchiveWillUnzipArchiveAtPath(path, globalInfo);
    delegate->zipArchiveProgressEvent(0, archiveSize);
  }

  VLZipDestination dest;
  int err = 0;
  if (ret == UNZ_OK && !dest.open(destination, &err)) {
    unzipError = ns::Error::posix(err, destination);
    success = false;
  }

  long index = -1;
  uint64_t currentPosition = 0;
  VLZipEntryReader entry(zip);
  while (ret == UNZ_OK && success) {
    if (entry.open(usePassword ? password : std::nullopt) != UNZ_OK) {
      entry.close();
      unzipError = VLZipArchiveError(VLZipArchiveErrorCodeFailedOpenFileInZip, "failed to open file in zip file");
      success = false;
      break;
    }
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
      unzipError = VLZipArchiveError(VLZipArchiveErrorCodeFileInfoNotLoadable, "failed to retrieve info for file");
      success = false;
      entry.close();
      break;
    }

    ++index;
    if (budget->entriesLeft == 0) {
      unzipError = limitError();
      success = false;
      entry.close();
      break;
    }
    --budget->entriesLeft;
    if (delegate && !delegate->zipArchiveShouldUnzipFileAtIndex(index, total, path, info)) {
      // Cancelled: the entry is closed here, the archive once below.
      success = false;
      canceled = true;
      entry.close();
      break;
    }
    if (delegate) {
      delegate->zipArchiveWillUnzipFileAtIndex(index, total, path, info);
      currentPosition += info.compressed_size;
      delegate->zipArchiveProgressEvent(currentPosition, archiveSize);
    }

    std::vector<char> rawName(info.size_filename + 1, '\0');
    if (unzGetCurrentFileInfo64(zip, &info, rawName.data(), static_cast<uLong>(rawName.size()), nullptr, 0, nullptr,
                                0) != UNZ_OK) {
      unzipError = VLZipArchiveError(VLZipArchiveErrorCodeFileInfoNotLoadable, "failed to retrieve info for file");
      success = false;
      entry.close();
      break;
    }
    const size_t nameSize = info.size_filename;
    const bool isSymlink = (info.version >> 8) == 3 && ((info.external_fa >> 16) & 0xF000) == 0xA000;
    const bool isDirectory = nameSize > 0 && (rawName[nameSize - 1] == '/' || rawName[nameSize - 1] == '\\');

    const std::string name = VLZipEntryNames::decode(rawName.data(), nameSize, static_cast<uint16_t>(info.version),
                                                     static_cast<uint16_t>(info.flag));
    if (name.rfind("__MACOSX/", 0) == 0) {
      entry.close();
      ret = unzGoToNextFile(zip);
      continue;
    }

    std::string sanitized = VLZipEntryNames::sanitizedPath(name);
    if (sanitized.empty()) sanitized = std::to_string(index);
    const std::vector<std::string> components = VLZipEntryNames::components(sanitized);
    const std::string fullPath = dest.pathFor(components);

    ns::Date modDate;
    if (preserveAttributes) {
      modDate = VLZipDates::dateWithMSDOSFormat(static_cast<uint32_t>(info.dosDate));
      directoryDates.push_back({fullPath, modDate});
    }

    std::vector<std::string> directory = components;
    if (!isDirectory) directory.pop_back();
    std::vector<std::string> created;
    VLZipDestination::Outcome made = dest.makeDirectories(directory, &err, &created);
    if (made == VLZipDestination::Outcome::Unsafe) {
      unzipError = unsafeEntryError(fullPath);
      VLZipLog::log(unzipError->localizedDescription());
      success = false;
      entry.close();
      break;
    }
    if (made == VLZipDestination::Outcome::Failed) {
      ns::Error dirError = ns::fileError(err, dest.pathFor(directory), true);
      if (err == ENOSPC || err == EDQUOT) {
        unzipError = dirError;
        success = false;
        entry.close();
        break;
      }
      VLZipLog::log("Error: " + dirError.localizedDescription());
    }
    if (preserveAttributes) {
      for (const auto& dir : created) {
        ns::FileAttributeChanges dates;
        dates.creationDate = modDate;
        ns::FileManager::defaultManager().setAttributes(dates, dir);
        setModificationDate(dir, modDate);
      }
    }

    struct stat existing {};
    if (::lstat(fullPath.c_str(), &existing) == 0 && !isDirectory && !overwrite) {
      entry.close();
      ret = unzGoToNextFile(zip);
      continue;
    }

    if (!isDirectory && !isSymlink) {
      // A regular file.
      int bytesRead = entry.read(buffer.data(), kBufferSize);
      int fd = -1;
      bool written = false;
      VLZipDestination::Outcome opened = VLZipDestination::Outcome::Failed;
      if (bytesRead < 0) {
        success = false;
      } else if (info.uncompressed_size > budget->bytesLeft) {
        unzipError = limitError();
        success = false;
      } else if ((opened = dest.openFile(components, &fd, &err)) == VLZipDestination::Outcome::Unsafe) {
        unzipError = unsafeEntryError(fullPath);
        VLZipLog::log(unzipError->localizedDescription());
        success = false;
      } else if (opened == VLZipDestination::Outcome::Failed) {
        // A directory standing where an empty entry goes loses nothing.
        if (!(err == EISDIR && info.uncompressed_size == 0 && bytesRead == 0)) {
          ns::Error openError = ns::Error::posix(err, fullPath);
          VLZipLog::log("Failed to open file on unzipping.(" + openError.localizedDescription() + ")");
          unzipError = openError;
          success = false;
        }
      } else {
        written = true;
        bool overLimit = false;
        while (bytesRead > 0) {
          if (static_cast<uint64_t>(bytesRead) > budget->bytesLeft) {
            unzipError = limitError();
            overLimit = true;
            success = false;
            break;
          }
          budget->bytesLeft -= static_cast<uint64_t>(bytesRead);
          if (!writeAll(fd, buffer.data(), static_cast<size_t>(bytesRead))) {
            const std::string message = "Failed to write file (check your free space)";
            VLZipLog::log(message);
            unzipError = VLZipArchiveError(VLZipArchiveErrorCodeFailedToWriteFile, message);
            success = false;
            break;
          }
          bytesRead = entry.read(buffer.data(), kBufferSize);
          if (bytesRead < 0) success = false;
        }
        if (::close(fd) != 0 && success) {
          const std::string message = "Failed to write file (check your free space)";
          VLZipLog::log(message);
          unzipError = VLZipArchiveError(VLZipArchiveErrorCodeFailedToWriteFile, message);
          success = false;
        }
        // What a bomb left behind is of no use to anyone.
        if (overLimit) ::unlink(fullPath.c_str());
      }
      if (!success) {
        entry.close();
        break;
      }

      if (written) {
        bool nested = false;
        if (nestedZipLevel != 0 && lowercasedExtension(fullPath) == "zip") {
          std::string innerDestination = std::filesystem::path(fullPath).parent_path().string();
          if (runWithBudget(fullPath, innerDestination, preserveAttributes, overwrite, nestedZipLevel - 1, password,
                            nullptr, nullptr, {}, {}, budget)) {
            nested = true;
            if (!directoryDates.empty()) directoryDates.pop_back();
            ::unlink(fullPath.c_str());
          }
        }
        if (!nested && preserveAttributes) {
          if (info.dosDate != 0 && !setModificationDate(fullPath, modDate))
            VLZipLog::log("Failed to set attributes - whilst setting modification date");
          // The archive's mode bits, but never set-id or sticky bits, and
          // always readable and writable by the owner.
          mode_t mode = static_cast<mode_t>(((info.external_fa >> 16) & 0777) | 0600);
          struct stat st {};
          if (::lstat(fullPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::chmod(fullPath.c_str(), mode) != 0)
            VLZipLog::log("Failed to set attributes - whilst setting permissions");
        }
      }
    } else if (isSymlink) {
      std::string target;
      bool readFailed = false;
      for (;;) {
        int n = entry.read(buffer.data(), kBufferSize);
        if (n < 0) {
          readFailed = true;
          break;
        }
        if (n == 0) break;
        target.append(buffer.data(), static_cast<size_t>(n));
        if (target.size() > kMaxLinkTarget) break;
      }
      if (readFailed) {
        success = false;
      } else if (target.size() > kMaxLinkTarget || !dest.linkTargetStaysInside(components, target)) {
        unzipError = unsafeEntryError(fullPath);
        VLZipLog::log("Refused symbolic link at \"" + fullPath + "\" to \"" + target +
                      "\": it leads out of the destination");
        success = false;
      } else {
        std::error_code ec;
        if (overwrite && ::lstat(fullPath.c_str(), &existing) == 0) std::filesystem::remove_all(fullPath, ec);
        if (ec) {
          const std::string message = "Failed to delete existing symbolic link at \"" + ec.message() + "\"";
          VLZipLog::log(message);
          unzipError = VLZipArchiveError(ec.value(), message);
          success = false;
        } else if (::symlink(target.c_str(), fullPath.c_str()) != 0) {
          const std::string message = "Failed to create symbolic link at \"" + fullPath + "\" to \"" + target +
                                      "\" - symlink() error code: " + std::to_string(errno);
          VLZipLog::log(message);
          unzipError = ns::Error::withDescription(ns::kPOSIXErrorDomain, -1, message);
          success = false;
        }
      }
      if (!success) {
        entry.close();
        break;
      }
    }

    if (entry.close() == UNZ_CRCERROR) {
      success = false;
      crcError = true;
      break;
    }
    ret = unzGoToNextFile(zip);
    if (delegate) delegate->didUnzipFile(index, total, path, info, fullPath);
    if (progressHandler) progressHandler(sanitized, info, index, total);
  }
  // A central directory that breaks off is no complete extraction.
  if (success && ret != UNZ_OK && ret != UNZ_END_OF_LIST_OF_FILE) {
    unzipError = VLZipArchiveError(VLZipArchiveErrorCodeFileInfoNotLoadable, "failed to retrieve info for file");
    success = false;
  }
  if (zip) unzClose(zip);

  if (success && preserveAttributes) {
    for (const auto& record : directoryDates) {
      if (!setModificationDate(record.path, record.modDate)) {
        VLZipLog::log("Set attributes failed for directory: " + record.path + ".");
        VLZipLog::log("Error setting directory file modification date attribute: " +
                      ns::Error::posix(errno, record.path).localizedDescription());
      }
    }
  }
  if (success && delegate) delegate->zipArchiveDidUnzipArchiveAtPath(path, globalInfo, destination);
  if (!canceled && delegate) delegate->zipArchiveProgressEvent(archiveSize, archiveSize);

  std::optional<ns::Error> result = unzipError;
  if (!result && crcError)
    result = VLZipArchiveError(VLZipArchiveErrorCodeFileInfoNotLoadable, "crc check failed for file");
  if (error) *error = result.value_or(ns::Error());
  if (completionHandler) completionHandler(path, success, result);
  return success;
}
