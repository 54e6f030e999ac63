#include "Libraries/Archive/VLZipExtraction.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <vector>

#include "Libraries/Archive/VLZipArchiveErrors.h"
#include "Libraries/Archive/VLZipDates.h"
#include "Libraries/Archive/VLZipDestination.h"
#include "Libraries/Archive/VLZipEmptyArchive.h"
#include "Libraries/Archive/VLZipEntryInfo.h"
#include "Libraries/Archive/VLZipFileIO.h"
#include "Libraries/Archive/VLZipEntryNames.h"
#include "Libraries/Archive/VLZipEntryReader.h"
#include "Libraries/Archive/VLZipLog.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/StringCase.h"

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
  return ns::lowercaseString(ext);
}

ns::Error unsafeEntryError(const std::string& path) {
  return VLZipArchiveError(VLZipArchiveErrorCodeUnsafeEntry,
                           "entry would be written outside the destination: \"" + path + "\"");
}

ns::Error writeError() {
  const std::string message = "Failed to write file (check your free space)";
  VLZipLog::log(message);
  return VLZipArchiveError(VLZipArchiveErrorCodeFailedToWriteFile, message);
}

// Only these stop an extraction; any other entry that cannot be written is
// skipped, since the entries after it may well be written.
bool stopsExtraction(int err) { return err == EMFILE || err == ENFILE || err == ENOSPC || err == EDQUOT; }

struct DirectoryDate {
  std::string path;
  ns::Date modDate;
};

// One entry, once its information and name are read.
struct Entry {
  VLZipEntryInfo header;
  std::string sanitized;
  std::vector<std::string> components;
  std::string fullPath;
  ns::Date modDate;

  const unz_file_info64& info() const { return header.info; }
};

// How the loop goes on after a step.
enum class Next {
  Continue,  // on with the entry (or, after its last step, to the next one)
  Skip,      // close the entry; the next one, without its "did" callbacks
  Stop,      // close the entry; the extraction ends unsuccessfully
};

// One extraction of one archive (nested archives run one of their own on
// the same budget): the options it was given and what it has found so far.
class ExtractionRun {
 public:
  struct Options {
    std::string path;
    std::string destination;
    bool preserveAttributes;
    bool overwrite;
    long nestedZipLevel;
    std::optional<std::string> password;
  };

  ExtractionRun(Options options, VLZipArchiveDelegate* delegate, VLZipExtraction::ProgressHandler progressHandler,
                VLZipExtraction::CompletionHandler completionHandler, VLZipBudget* budget)
      : o_(std::move(options)),
        delegate_(delegate),
        progressHandler_(std::move(progressHandler)),
        completionHandler_(std::move(completionHandler)),
        budget_(budget) {}
  ~ExtractionRun() {
    if (zip_) unzClose(zip_);
  }

  // The whole extraction; *error receives its error, or an empty one.
  bool run(ns::Error* error);

 private:
  bool failEarly(const ns::Error& e, ns::Error* error);
  void stop(std::optional<ns::Error> e = std::nullopt) {
    if (e) error_ = std::move(e);
    success_ = false;
  }

  // The steps of one entry, in order.
  Next readEntry(Entry* entry);
  Next makeDirectories(const Entry& entry);
  Next writeFile(const Entry& entry);
  Next writeLink(const Entry& entry);
  void unpackNestedOrSetAttributes(const Entry& entry);
  void setFileAttributes(const Entry& entry);
  // Closes the entry (its CRC checked) and moves to the next one.
  bool finishEntry(const Entry& entry, Next next);

  void applyDirectoryDates();

  Options o_;
  VLZipArchiveDelegate* delegate_;
  VLZipExtraction::ProgressHandler progressHandler_;
  VLZipExtraction::CompletionHandler completionHandler_;
  VLZipBudget* budget_;

  unzFile zip_ = nullptr;
  std::unique_ptr<VLZipEntryReader> reader_;
  VLZipDestination destination_;
  std::vector<char> buffer_ = std::vector<char>(kBufferSize);
  std::vector<DirectoryDate> directoryDates_;
  unz_global_info64 globalInfo_{};
  uint64_t archiveSize_ = 0;
  uint64_t position_ = 0;  // compressed bytes reached
  long index_ = -1;
  long total_ = 0;
  int ret_ = UNZ_OK;  // of the last move between entries

  bool success_ = true;
  bool canceled_ = false;
  bool crcError_ = false;
  std::optional<ns::Error> error_;
};

bool ExtractionRun::failEarly(const ns::Error& e, ns::Error* error) {
  ns::setError(error, e);
  if (completionHandler_) completionHandler_(std::nullopt, false, e);
  return false;
}

bool ExtractionRun::run(ns::Error* error) {
  if (o_.path.empty() || o_.destination.empty())
    return failEarly(VLZipArchiveError(VLZipArchiveErrorCodeInvalidArguments, "received invalid argument(s)"), error);

  zip_ = VLZipFileIO::open(o_.path);
  // minizip refuses an archive without entries; it extracts to nothing.
  uint64_t commentLength = 0;
  const bool empty = !zip_ && VLZipEmptyArchive::isEmptyArchive(o_.path, &commentLength);
  if (!zip_ && !empty)
    return failEarly(VLZipArchiveError(VLZipArchiveErrorCodeFailedOpenZipFile, "failed to open zip file"), error);

  struct stat archiveStat {};
  archiveSize_ = ::stat(o_.path.c_str(), &archiveStat) == 0 ? static_cast<uint64_t>(archiveStat.st_size) : 0;
  if (zip_) {
    unzGetGlobalInfo64(zip_, &globalInfo_);
  } else {
    globalInfo_.size_comment = static_cast<uLong>(commentLength);
  }
  ret_ = zip_ ? unzGoToFirstFile(zip_) : UNZ_END_OF_LIST_OF_FILE;
  if (ret_ != UNZ_OK && ret_ != UNZ_END_OF_LIST_OF_FILE)
    return failEarly(
        VLZipArchiveError(VLZipArchiveErrorCodeFailedOpenFileInZip, "failed to open first file in zip file"), error);
  total_ = static_cast<long>(globalInfo_.number_entry);

  if (delegate_) {
    delegate_->zipArchiveWillUnzipArchiveAtPath(o_.path, globalInfo_);
    delegate_->zipArchiveProgressEvent(0, archiveSize_);
  }

  // Refused whole, before anything is written, when what the archive
  // declares does not fit (many entries may share one piece of data).
  int err = 0;
  if (ret_ == UNZ_OK && !budget_->admitsDeclaredContents(zip_)) {
    stop(VLZipLimitError());
  } else if (ret_ == UNZ_OK && !destination_.open(o_.destination, &err)) {
    stop(ns::Error::posix(err, o_.destination));
  }

  if (zip_) reader_ = std::make_unique<VLZipEntryReader>(zip_);
  while (ret_ == UNZ_OK && success_) {
    Entry entry;
    Next next = readEntry(&entry);
    if (next == Next::Continue) next = makeDirectories(entry);
    if (next == Next::Continue) {
      struct stat existing {};
      if (!entry.header.isDirectory() && !o_.overwrite && ::lstat(entry.fullPath.c_str(), &existing) == 0)
        next = Next::Skip;
    }
    if (next == Next::Continue && entry.header.isSymlink()) {
      next = writeLink(entry);
    } else if (next == Next::Continue && !entry.header.isDirectory()) {
      next = writeFile(entry);
    }
    if (!finishEntry(entry, next)) break;
  }
  // A central directory that breaks off is no complete extraction.
  if (success_ && ret_ != UNZ_OK && ret_ != UNZ_END_OF_LIST_OF_FILE)
    stop(VLZipArchiveError(VLZipArchiveErrorCodeFileInfoNotLoadable, "failed to retrieve info for file"));
  reader_.reset();
  if (zip_) unzClose(zip_);
  zip_ = nullptr;

  if (success_ && o_.preserveAttributes) applyDirectoryDates();
  if (success_ && delegate_) delegate_->zipArchiveDidUnzipArchiveAtPath(o_.path, globalInfo_, o_.destination);
  if (!canceled_ && delegate_) delegate_->zipArchiveProgressEvent(archiveSize_, archiveSize_);

  std::optional<ns::Error> result = error_;
  if (!result && crcError_)
    result = VLZipArchiveError(VLZipArchiveErrorCodeFileInfoNotLoadable, "crc check failed for file");
  if (error) *error = result.value_or(ns::Error());
  if (completionHandler_) completionHandler_(o_.path, success_, result);
  return success_;
}

// Opens the entry, tells the delegate, and finds where it goes.
Next ExtractionRun::readEntry(Entry* entry) {
  if (reader_->open(o_.password && !o_.password->empty() ? o_.password : std::nullopt) != UNZ_OK) {
    stop(VLZipArchiveError(VLZipArchiveErrorCodeFailedOpenFileInZip, "failed to open file in zip file"));
    return Next::Stop;
  }
  if (VLZipEntryInfo::readCurrent(zip_, &entry->header) != UNZ_OK) {
    stop(VLZipArchiveError(VLZipArchiveErrorCodeFileInfoNotLoadable, "failed to retrieve info for file"));
    return Next::Stop;
  }

  ++index_;
  if (budget_->entriesLeft == 0) {
    stop(VLZipLimitError());
    return Next::Stop;
  }
  --budget_->entriesLeft;
  if (delegate_ && !delegate_->zipArchiveShouldUnzipFileAtIndex(index_, total_, o_.path, entry->info())) {
    canceled_ = true;
    stop();
    return Next::Stop;
  }
  if (delegate_) {
    delegate_->zipArchiveWillUnzipFileAtIndex(index_, total_, o_.path, entry->info());
    position_ += entry->info().compressed_size;
    delegate_->zipArchiveProgressEvent(position_, archiveSize_);
  }

  const std::string name = entry->header.decodedName();
  if (name.rfind("__MACOSX/", 0) == 0) return Next::Skip;

  entry->sanitized = VLZipEntryNames::sanitizedPath(name);
  if (entry->sanitized.empty()) entry->sanitized = std::to_string(index_);
  entry->components = VLZipEntryNames::components(entry->sanitized);
  entry->fullPath = destination_.pathFor(entry->components);
  if (o_.preserveAttributes) {
    entry->modDate = VLZipDates::dateWithMSDOSFormat(static_cast<uint32_t>(entry->info().dosDate));
    directoryDates_.push_back({entry->fullPath, entry->modDate});
  }
  return Next::Continue;
}

// The entry's directory, or its parent's for anything else.
Next ExtractionRun::makeDirectories(const Entry& entry) {
  std::vector<std::string> directory = entry.components;
  if (!entry.header.isDirectory()) directory.pop_back();
  std::vector<std::string> created;
  int err = 0;
  VLZipDestination::Outcome made = destination_.makeDirectories(directory, &err, &created);
  if (made == VLZipDestination::Outcome::Unsafe) {
    stop(unsafeEntryError(entry.fullPath));
    VLZipLog::log(error_->localizedDescription());
    return Next::Stop;
  }
  if (made == VLZipDestination::Outcome::Failed) {
    ns::Error dirError = ns::fileError(err, destination_.pathFor(directory), true);
    if (err == ENOSPC || err == EDQUOT) {
      stop(dirError);
      return Next::Stop;
    }
    VLZipLog::log("Error: " + dirError.localizedDescription());
  }
  if (o_.preserveAttributes) {
    for (const auto& dir : created) {
      ns::FileAttributeChanges dates;
      dates.creationDate = entry.modDate;
      ns::FileManager::defaultManager().setAttributes(dates, dir);
      setModificationDate(dir, entry.modDate);
    }
  }
  return Next::Continue;
}

Next ExtractionRun::writeFile(const Entry& entry) {
  const unz_file_info64& info = entry.info();
  int bytesRead = reader_->read(buffer_.data(), kBufferSize);
  if (bytesRead < 0) {
    stop();
    return Next::Stop;
  }
  if (info.uncompressed_size > budget_->bytesLeft) {
    stop(VLZipLimitError());
    return Next::Stop;
  }
  int fd = -1, err = 0;
  VLZipDestination::Outcome opened = destination_.openFile(entry.components, &fd, &err);
  if (opened == VLZipDestination::Outcome::Unsafe) {
    stop(unsafeEntryError(entry.fullPath));
    VLZipLog::log(error_->localizedDescription());
    return Next::Stop;
  }
  if (opened == VLZipDestination::Outcome::Failed) {
    // A directory standing where an empty entry goes loses nothing.
    if (err == EISDIR && info.uncompressed_size == 0 && bytesRead == 0) return Next::Continue;
    ns::Error openError = ns::Error::posix(err, entry.fullPath);
    VLZipLog::log("Failed to open file on unzipping.(" + openError.localizedDescription() + ")");
    if (!stopsExtraction(err)) return Next::Continue;
    stop(openError);
    return Next::Stop;
  }

  bool overLimit = false;
  while (bytesRead > 0 && success_) {
    if (static_cast<uint64_t>(bytesRead) > budget_->bytesLeft) {
      overLimit = true;
      stop(VLZipLimitError());
      break;
    }
    budget_->bytesLeft -= static_cast<uint64_t>(bytesRead);
    if (!writeAll(fd, buffer_.data(), static_cast<size_t>(bytesRead))) {
      stop(writeError());
      break;
    }
    bytesRead = reader_->read(buffer_.data(), kBufferSize);
    if (bytesRead < 0) stop();
  }
  if (::close(fd) != 0 && success_) stop(writeError());
  // What a bomb left behind is of no use to anyone.
  if (overLimit) ::unlink(entry.fullPath.c_str());
  if (!success_) return Next::Stop;
  unpackNestedOrSetAttributes(entry);
  return Next::Continue;
}

// A written ".zip" is unpacked beside itself while levels are left; an
// inner archive that does not unpack stays a file like any other.
void ExtractionRun::unpackNestedOrSetAttributes(const Entry& entry) {
  if (o_.nestedZipLevel != 0 && lowercasedExtension(entry.fullPath) == "zip") {
    Options inner = o_;
    inner.path = entry.fullPath;
    inner.destination = std::filesystem::path(entry.fullPath).parent_path().string();
    inner.nestedZipLevel = o_.nestedZipLevel - 1;
    if (ExtractionRun(inner, nullptr, {}, {}, budget_).run(nullptr)) {
      if (!directoryDates_.empty()) directoryDates_.pop_back();
      ::unlink(entry.fullPath.c_str());
      return;
    }
  }
  if (o_.preserveAttributes) setFileAttributes(entry);
}

void ExtractionRun::setFileAttributes(const Entry& entry) {
  if (entry.info().dosDate != 0 && !setModificationDate(entry.fullPath, entry.modDate))
    VLZipLog::log("Failed to set attributes - whilst setting modification date");
  // The archive's mode bits, but never set-id or sticky bits, and always
  // readable and writable by the owner.
  mode_t mode = static_cast<mode_t>(((entry.info().external_fa >> 16) & 0777) | 0600);
  struct stat st {};
  if (::lstat(entry.fullPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::chmod(entry.fullPath.c_str(), mode) != 0)
    VLZipLog::log("Failed to set attributes - whilst setting permissions");
}

Next ExtractionRun::writeLink(const Entry& entry) {
  std::string target;
  for (;;) {
    int n = reader_->read(buffer_.data(), kBufferSize);
    if (n < 0) {
      stop();
      return Next::Stop;
    }
    if (n == 0) break;
    target.append(buffer_.data(), static_cast<size_t>(n));
    if (target.size() > kMaxLinkTarget) break;
  }
  int err = 0;
  VLZipDestination::Outcome checked = target.size() > kMaxLinkTarget
                                          ? VLZipDestination::Outcome::Unsafe
                                          : destination_.checkLink(entry.components, target, &err);
  if (checked == VLZipDestination::Outcome::Unsafe) {
    stop(unsafeEntryError(entry.fullPath));
    VLZipLog::log("Refused symbolic link at \"" + entry.fullPath + "\" to \"" + target +
                  "\": it leads out of the destination");
    return Next::Stop;
  }
  if (checked == VLZipDestination::Outcome::Failed) {
    VLZipLog::log("Failed to create symbolic link at \"" + entry.fullPath + "\" to \"" + target + "\" (" +
                  ns::Error::posix(err).localizedDescription() + ")");
    return Next::Continue;
  }

  struct stat existing {};
  std::error_code ec;
  if (o_.overwrite && ::lstat(entry.fullPath.c_str(), &existing) == 0) std::filesystem::remove_all(entry.fullPath, ec);
  if (ec) {
    const std::string message = "Failed to delete existing symbolic link at \"" + ec.message() + "\"";
    VLZipLog::log(message);
    stop(VLZipArchiveError(ec.value(), message));
    return Next::Stop;
  }
  if (::symlink(target.c_str(), entry.fullPath.c_str()) != 0) {
    const std::string message = "Failed to create symbolic link at \"" + entry.fullPath + "\" to \"" + target +
                                "\" - symlink() error code: " + std::to_string(errno);
    VLZipLog::log(message);
    stop(ns::Error::withDescription(ns::kPOSIXErrorDomain, -1, message));
    return Next::Stop;
  }
  return Next::Continue;
}

bool ExtractionRun::finishEntry(const Entry& entry, Next next) {
  const int closed = reader_->close();
  if (next == Next::Stop) return false;
  if (closed == UNZ_CRCERROR) {
    crcError_ = true;
    stop();
    return false;
  }
  ret_ = unzGoToNextFile(zip_);
  if (next == Next::Skip) return true;
  if (delegate_) delegate_->didUnzipFile(index_, total_, o_.path, entry.info(), entry.fullPath);
  if (progressHandler_) progressHandler_(entry.sanitized, entry.info(), index_, total_);
  return true;
}

void ExtractionRun::applyDirectoryDates() {
  for (const auto& record : directoryDates_) {
    if (!setModificationDate(record.path, record.modDate)) {
      VLZipLog::log("Set attributes failed for directory: " + record.path + ".");
      VLZipLog::log("Error setting directory file modification date attribute: " +
                    ns::Error::posix(errno, record.path).localizedDescription());
    }
  }
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
  VLZipBudget budget = VLZipBudget::of(limits());
  return ExtractionRun({path, destination, preserveAttributes, overwrite, nestedZipLevel, password}, delegate,
                       progressHandler, completionHandler, &budget)
      .run(error);
}
