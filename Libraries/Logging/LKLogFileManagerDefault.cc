#include "Libraries/Logging/LKLogFileManagerDefault.h"

#include <errno.h>

#include <algorithm>
#include <cstring>

#include "Libraries/Logging/LKConsole.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/ExtendedAttributes.h"
#include "Platform/Foundation/FileManager.h"

namespace {

bool isProtectionLevel(const std::string& level) {
  return level == ns::kFileProtectionNone || level == ns::kFileProtectionComplete ||
         level == ns::kFileProtectionCompleteUnlessOpen ||
         level == ns::kFileProtectionCompleteUntilFirstUserAuthentication;
}

}  // namespace

bool LKLogFileManagerDefault::applicationDeclaresBackgroundModes() {
  const ns::Value* modes = ns::Bundle::mainBundle()->objectForInfoDictionaryKey("UIBackgroundModes");
  const ns::Array* list = modes ? modes->asArray() : nullptr;
  if (!list) return false;
  for (const ns::Value& mode : *list) {
    if (mode.asString() && !mode.asString()->empty()) return true;
  }
  return false;
}

namespace {

std::string removingAll(std::string text, const std::string& piece) {
  for (size_t at; (at = text.find(piece)) != std::string::npos;) text.erase(at, piece.size());
  return text;
}

// "<name> <n>.<ext>" for the attempt n (2 and up) at creating `name`.
std::string attemptName(const std::string& name, unsigned long attempt) {
  if (attempt == 1) return name;
  size_t dot = name.find_last_of('.');
  std::string suffix = ns::format(" %lu", attempt);
  if (dot == std::string::npos || dot == 0) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

}  // namespace

LKLogFileManagerDefault::LKLogFileManagerDefault(const std::string& logsDirectory,
                                                 const std::optional<std::string>& defaultFileProtectionLevel) {
  fileDateFormatter_.setLocale(ns::Locale::posix());
  fileDateFormatter_.setTimeZone(*ns::TimeZone::forSecondsFromGMT(0));
  fileDateFormatter_.setDateFormat("yyyy'-'MM'-'dd'--'HH'-'mm'-'ss'-'SSS'");
  logsDirectory_ = logsDirectory.empty() ? defaultLogsDirectory() : logsDirectory;
  if (defaultFileProtectionLevel && isProtectionLevel(*defaultFileProtectionLevel)) {
    defaultFileProtectionLevel_ = defaultFileProtectionLevel;
  }
}

void LKLogFileManagerDefault::setMaximumNumberOfLogFiles(uint64_t count) {
  if (count == maximumNumberOfLogFiles_) return;
  maximumNumberOfLogFiles_ = count;
  deleteOldFilesLater();
}

void LKLogFileManagerDefault::setLogFilesDiskQuota(uint64_t bytes) {
  if (bytes == logFilesDiskQuota_) return;
  logFilesDiskQuota_ = bytes;
  deleteOldFilesLater();
}

void LKLogFileManagerDefault::deleteOldFilesLater() {
  std::weak_ptr<LKLogFileManagerDefault> weak = weak_from_this();
  if (weak.expired()) {
    deleteOldLogFiles();  // not shared: nobody could keep it alive for later
    return;
  }
  dispatch::Queue::global()->async([weak] {
    if (auto self = weak.lock()) self->deleteOldLogFiles();
  });
}

std::string LKLogFileManagerDefault::defaultLogsDirectory() {
  return ns::FileManager::defaultManager().cachesDirectory().path() + "/Logs";
}

std::string LKLogFileManagerDefault::logsDirectory() {
  ns::Error error;
  if (!ns::FileManager::defaultManager().createDirectory(logsDirectory_, true, &error)) {
    LKConsoleLog("LKFileLogManagerDefault: Error creating logsDirectory: %@", error);
  }
  return logsDirectory_;
}

const std::string& LKLogFileManagerDefault::applicationName() {
  static const std::string name = [] {
    std::string identifier = ns::Bundle::mainBundle()->bundleIdentifier().value_or("");
    if (!identifier.empty()) return identifier;
    return std::string(program_invocation_short_name ? program_invocation_short_name : "");
  }();
  return name;
}

std::string LKLogFileManagerDefault::newLogFileName() {
  return ns::format("%@ %@.log", applicationName(), fileDateFormatter_.stringFromDate(ns::Clock::now()));
}

std::optional<std::string> LKLogFileManagerDefault::logFileHeaderData() {
  std::optional<std::string> header = logFileHeader();
  if (!header || header->empty()) return std::nullopt;
  if (header->back() != '\n') header->push_back('\n');
  return header;
}

bool LKLogFileManagerDefault::isLogFile(const std::string& fileName) {
  const std::string prefix = applicationName() + " ";
  return fileName.size() >= prefix.size() + 4 && fileName.compare(0, prefix.size(), prefix) == 0 &&
         fileName.compare(fileName.size() - 4, 4, ".log") == 0;
}

std::vector<std::string> LKLogFileManagerDefault::unsortedLogFileNames() {
  std::vector<std::string> names;
  auto entries = ns::FileManager::defaultManager().contentsOfDirectory(logsDirectory());
  if (!entries) return names;
  for (auto& name : *entries) {
    if (isLogFile(name)) names.push_back(name);
  }
  return names;
}

std::vector<std::string> LKLogFileManagerDefault::unsortedLogFilePaths() {
  std::vector<std::string> paths;
  std::string directory = logsDirectory();
  for (auto& name : unsortedLogFileNames()) paths.push_back(directory + "/" + name);
  return paths;
}

std::vector<std::shared_ptr<LKLogFileInfo>> LKLogFileManagerDefault::unsortedLogFileInfos() {
  std::vector<std::shared_ptr<LKLogFileInfo>> infos;
  for (auto& path : unsortedLogFilePaths()) infos.push_back(LKLogFileInfo::logFileWithPath(path));
  return infos;
}

std::vector<std::shared_ptr<LKLogFileInfo>> LKLogFileManagerDefault::sortedLogFileInfos() {
  struct Dated {
    std::shared_ptr<LKLogFileInfo> info;
    ns::Date date;
  };
  std::vector<Dated> dated;
  const ns::Date now = ns::Clock::now();
  for (auto& info : unsortedLogFileInfos()) {
    const std::string& name = info->fileName();
    size_t space = name.find_last_of(' ');
    std::string stamp = removingAll(space == std::string::npos ? name : name.substr(space + 1), ".log");
    std::optional<ns::Date> date = fileDateFormatter_.dateFromString(stamp);
    if (!date) date = info->creationDate();
    dated.push_back({info, date.value_or(now)});
  }
  std::stable_sort(dated.begin(), dated.end(), [](const Dated& a, const Dated& b) { return a.date > b.date; });
  std::vector<std::shared_ptr<LKLogFileInfo>> infos;
  for (auto& d : dated) infos.push_back(d.info);
  return infos;
}

std::vector<std::string> LKLogFileManagerDefault::sortedLogFilePaths() {
  std::vector<std::string> paths;
  for (auto& info : sortedLogFileInfos()) paths.push_back(info->filePath());
  return paths;
}

std::vector<std::string> LKLogFileManagerDefault::sortedLogFileNames() {
  std::vector<std::string> names;
  for (auto& info : sortedLogFileInfos()) names.push_back(info->fileName());
  return names;
}

std::optional<std::string> LKLogFileManagerDefault::logFileProtection() const {
  if (defaultFileProtectionLevel_) return defaultFileProtectionLevel_;
  if (applicationDeclaresBackgroundModes()) return std::string(ns::kFileProtectionCompleteUntilFirstUserAuthentication);
  return std::string(ns::kFileProtectionCompleteUnlessOpen);
}

std::optional<std::string> LKLogFileManagerDefault::createNewLogFileWithError(ns::Error* error) {
  const std::string name = newLogFileName();
  const std::string directory = logsDirectory();
  const std::optional<std::string> header = logFileHeaderData();
  ns::Data content;
  if (header) content.assign(header->begin(), header->end());
  if (error) *error = ns::Error();
  auto& files = ns::FileManager::defaultManager();

  unsigned long attempt = 1;
  long criticalErrors = 0;
  ns::Error lastCritical;
  for (;;) {
    const std::string path = directory + "/" + attemptName(name, attempt);
    ns::Error failure;
    // Exclusive: a name already taken fails here instead of being replaced.
    bool ok = files.writeData(content, path, {.atomic = true, .withoutOverwriting = true}, &failure);
    if (ok) {
      ns::FileAttributeChanges changes;
      changes.protection = logFileProtection();
      // The creation date of the clock in use, so that age follows a virtual clock.
      changes.creationDate = ns::Clock::now();
      ns::Error attributeFailure;
      if (!files.setAttributes(changes, path, &attributeFailure)) {
        int err = 0;
        // A file system without user attributes has no protection classes either.
        bool supported = ns::ExtendedAttributes::set(path, "logkit.probe", "", &err) ||
                         (err != ENOTSUP && err != EOPNOTSUPP && err != EPERM);
        ns::ExtendedAttributes::remove(path, "logkit.probe");
        ns::ExtendedAttributes::removeSideRecord(path, "logkit.probe");
        if (supported) {
          ok = false;
          failure = attributeFailure;
          files.removeItem(path);  // ours: the retry of the same name must find it free
        }
      }
    }
    if (ok) {
      deleteOldFilesLater();
      return path;
    }
    if (failure.code() == ns::kFileWriteFileExistsError) {
      ++attempt;
      continue;
    }
    LKConsoleLog("LKLogFileManagerDefault: Critical error while creating log file: %@", failure);
    ++criticalErrors;
    lastCritical = failure;
    if (criticalErrors > 4) {
      LKConsoleLog("LKLogFileManagerDefault: Bailing file creation, encountered %ld errors.", criticalErrors);
      if (error) *error = lastCritical;
      return std::nullopt;
    }
  }
}

void LKLogFileManagerDefault::deleteOldLogFiles() {
  std::vector<std::shared_ptr<LKLogFileInfo>> infos = sortedLogFileInfos();
  std::optional<size_t> first;
  const uint64_t quota = logFilesDiskQuota_;
  const uint64_t maximum = maximumNumberOfLogFiles_;
  if (quota != 0) {
    uint64_t used = 0;
    for (size_t i = 0; i < infos.size(); ++i) {
      used += infos[i]->fileSize();
      if (used > quota) {
        first = i;
        break;
      }
    }
  }
  if (maximum != 0) first = first ? std::min<size_t>(*first, maximum) : static_cast<size_t>(maximum);
  if (!first) return;
  // The newest file, while unarchived, is the one being written.
  if (*first == 0 && !infos.empty() && !infos[0]->isArchived()) first = 1;
  auto& files = ns::FileManager::defaultManager();
  for (size_t i = *first; i < infos.size(); ++i) {
    ns::Error error;
    if (!files.removeItem(infos[i]->filePath(), &error)) {
      LKConsoleLog("LKLogFileManagerDefault: Error deleting file %@", error);
      continue;
    }
    ns::ExtendedAttributes::removeSideRecord(infos[i]->filePath(), LKLogFileInfo::kArchivedAttributeName);
  }
}
