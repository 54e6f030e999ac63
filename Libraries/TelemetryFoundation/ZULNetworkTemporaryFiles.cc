// The fetcher's temporary upload files: made for background uploads, and
// removed when their task ends or, left behind by an earlier run, once they
// are older than the expiry time.
#include <cmath>

#include "Libraries/TelemetryFoundation/ZULNetworkURLSession.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"

bool ZULNetworkURLSession::ensureTemporaryDirectoryExists() {
  auto& files = ns::FileManager::defaultManager();
  const std::string path = networkDirectoryURL_.path();
  ns::Error error;
  if (files.attributesOfItem(path, &error)) return true;
  if (error.code() != ns::kFileReadNoSuchFileError) {
    log(ZULNetworkLogLevelWarning, ZULNetworkMessageCodeTemporaryFolderUnreachable,
        "Error while trying to access Network temp folder. Error", {error.description()});
  }
  if (!files.createDirectory(path, true, &error)) {
    log(ZULNetworkLogLevelError, ZULNetworkMessageCodeTemporaryFolderNotCreated,
        "Cannot create temporary directory. Error", {error.description()});
    return false;
  }
  excludeFromBackup(networkDirectoryURL_);
  return true;
}

void ZULNetworkURLSession::maybeRemoveTempFilesAtURL(const ns::URL& folder, double expiringTime) {
  if (folder.path().empty()) return;
  auto& files = ns::FileManager::defaultManager();
  ns::Error error;
  auto entries = files.contentsOfDirectory(folder.path(), &error);
  if (!entries) {
    if (error.code() != ns::kFileReadNoSuchFileError) {
      log(ZULNetworkLogLevelDebug, ZULNetworkMessageCodeTemporaryFolderUnlisted,
          "Cannot get files from the temporary network folder. Error", {error.description()});
    }
    return;
  }
  const ns::Date now = ns::Date::now();
  for (const std::string& name : *entries) {
    const ns::URL file = folder.appendingPathComponent(name, false);
    auto attributes = files.attributesOfItem(file.path());
    if (attributes && std::fabs(now.timeIntervalSince(attributes->creationDate)) > expiringTime) {
      maybeRemoveTempFile(file);
    }
  }
}

void ZULNetworkURLSession::maybeRemoveTempFile(const std::optional<ns::URL>& file) {
  if (!file || file->path().empty()) return;
  ns::Error error;
  if (!ns::FileManager::defaultManager().removeItem(file->path(), &error) && error.code() != ns::kFileNoSuchFileError) {
    log(ZULNetworkLogLevelError, ZULNetworkMessageCodeTemporaryFileNotRemoved,
        "Failed to remove temporary uploading data file. Error", {error.description()});
  }
}

void ZULNetworkURLSession::excludeFromBackup(const ns::URL& url) {
  if (!ns::FileManager::defaultManager().setExcludedFromBackup(url.path(), true)) {
    log(ZULNetworkLogLevelError, ZULNetworkMessageCodeNotExcludedFromBackup,
        "Cannot exclude temporary folder from iTunes backup");
  }
}
