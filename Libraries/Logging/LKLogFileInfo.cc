#include "Libraries/Logging/LKLogFileInfo.h"

#include <errno.h>

#include <cstring>
#include <functional>

#include "Libraries/Logging/LKConsole.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/ExtendedAttributes.h"

namespace {

std::string lastPathComponent(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

bool newerFirst(const std::optional<ns::Date>& a, const std::optional<ns::Date>& b) {
  if (a && b) return *a > *b;
  return a.has_value() && !b.has_value();
}

}  // namespace

std::shared_ptr<LKLogFileInfo> LKLogFileInfo::logFileWithPath(const std::string& path) {
  if (path.empty()) return nullptr;
  return std::make_shared<LKLogFileInfo>(path);
}

const std::string& LKLogFileInfo::fileName() {
  if (!fileName_) fileName_ = lastPathComponent(filePath_);
  return *fileName_;
}

const std::optional<ns::FileAttributes>& LKLogFileInfo::fileAttributes() {
  if (!fileAttributes_) {
    ns::Error error;
    fileAttributes_ = ns::FileManager::defaultManager().attributesOfItem(filePath_, &error);
    if (!fileAttributes_) LKConsoleLog("LKLogFileInfo: Failed to read file attributes: %@", error);
  }
  return fileAttributes_;
}

std::optional<ns::Date> LKLogFileInfo::creationDate() {
  if (!creationDate_ && fileAttributes()) creationDate_ = fileAttributes_->creationDate;
  return creationDate_;
}

std::optional<ns::Date> LKLogFileInfo::modificationDate() {
  if (!modificationDate_ && fileAttributes()) modificationDate_ = fileAttributes_->modificationDate;
  return modificationDate_;
}

uint64_t LKLogFileInfo::fileSize() {
  if (fileSize_ == 0 && fileAttributes()) fileSize_ = fileAttributes_->size;
  return fileSize_;
}

double LKLogFileInfo::age() {
  auto created = creationDate();
  return created ? ns::Clock::now().timeIntervalSince(*created) : 0;
}

bool LKLogFileInfo::isSymlink() {
  auto attributes = ns::FileManager::defaultManager().attributesOfItem(filePath_);
  return attributes && attributes->type == ns::FileType::SymbolicLink;
}

bool LKLogFileInfo::isArchived() {
  auto value = ns::ExtendedAttributes::get(filePath_, kArchivedAttributeName);
  if (!value) return false;
  if (value->size() == 1 && (*value)[0] == '\x01') return true;
  // Present with another value: it still says archived; make it say so plainly.
  setIsArchived(true);
  return true;
}

void LKLogFileInfo::setIsArchived(bool archived) {
  int err = 0;
  if (archived) {
    if (!ns::ExtendedAttributes::set(filePath_, kArchivedAttributeName, std::string_view("\x01", 1), &err) &&
        err != ENOENT) {
      LKConsoleLog("LKLogFileInfo: setxattr(%@, %@): error = %s", kArchivedAttributeName, filePath_,
                   std::strerror(err));
    }
  } else {
    if (!ns::ExtendedAttributes::remove(filePath_, kArchivedAttributeName, &err) && err != ENODATA) {
      LKConsoleLog("LKLogFileInfo: removexattr(%@, %@): error = %s", kArchivedAttributeName, fileName(),
                   std::strerror(err));
    }
  }
}

void LKLogFileInfo::reset() {
  fileName_.reset();
  fileAttributes_.reset();
  creationDate_.reset();
  modificationDate_.reset();
}

void LKLogFileInfo::renameFile(const std::string& newName) {
  if (newName == fileName()) return;
  std::string newPath = directoryOf(filePath_) + "/" + newName;
  auto& files = ns::FileManager::defaultManager();
  ns::Error error;
  if (files.fileExists(newPath) && !files.removeItem(newPath, &error) && error.code() != ns::kFileNoSuchFileError) {
    LKConsoleLog("LKLogFileInfo: Error deleting archive (%@): %@", fileName(), error);
  }
  if (!files.moveItem(filePath_, newPath, &error)) {
    LKConsoleLog("LKLogFileInfo: Error renaming file (%@): %@", fileName(), error);
  }
  filePath_ = newPath;
  reset();
}

bool LKLogFileInfo::reverseCompareByCreationDate(LKLogFileInfo& a, LKLogFileInfo& b) {
  return newerFirst(a.creationDate(), b.creationDate());
}

bool LKLogFileInfo::reverseCompareByModificationDate(LKLogFileInfo& a, LKLogFileInfo& b) {
  return newerFirst(a.modificationDate(), b.modificationDate());
}

size_t LKLogFileInfo::hash() const { return std::hash<std::string>{}(filePath_); }

std::string LKLogFileInfo::description() {
  auto date = [](const std::optional<ns::Date>& d) { return d ? d->description() : std::string(); };
  ns::Dictionary attributes;
  if (fileAttributes()) {
    attributes.set("NSFileSize", ns::Value(static_cast<int64_t>(fileAttributes_->size)));
    attributes.set("NSFileCreationDate", ns::Value(fileAttributes_->creationDate));
    attributes.set("NSFileModificationDate", ns::Value(fileAttributes_->modificationDate));
  }
  ns::Dictionary d;
  d.set("filePath", ns::Value(filePath_));
  d.set("fileName", ns::Value(fileName()));
  d.set("fileAttributes", ns::Value(attributes));
  d.set("creationDate", ns::Value(date(creationDate())));
  d.set("modificationDate", ns::Value(date(modificationDate())));
  d.set("fileSize", ns::Value(static_cast<int64_t>(fileSize())));
  d.set("age", ns::Value(age()));
  d.set("isArchived", ns::Value(isArchived()));
  return ns::Value(d).description();
}
