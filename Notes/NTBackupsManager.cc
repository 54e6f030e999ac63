#include "Notes/NTBackupsManager.h"

#include <algorithm>

#include "Libraries/ErrorReport/ErrorReport.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/StringCase.h"
#include "Notes/NTBackupFileNames.h"
#include "Notes/NTBackupTask.h"

namespace {

constexpr const char* kBackupsDirectoryName = "backups.Notes";

using NTBackupFileNames::freeNameIn;
using NTBackupFileNames::isBackupFileName;

}  // namespace

std::optional<std::string> NTBackupsManager::backupsPath(bool iCloud) {
  auto& fm = ns::FileManager::defaultManager();
  if (iCloud) {
    auto container = fm.ubiquityContainerURL();
    if (!container) return std::nullopt;
    return container->appendingPathComponent(kBackupsDirectoryName).path();
  }
  std::string path = fm.documentsDirectory().appendingPathComponent(kBackupsDirectoryName).path();
  if (!fm.fileExists(path)) fm.createDirectory(path, true);
  return path;
}

namespace {

// The backups directory in the iCloud container when backups live there.
// Everything inside the container is ubiquitous: the directory's presence
// there is the setting. One look at the container: it may go away (the
// account signed out) at any moment, also between two looks.
std::optional<std::string> cloudBackupsInUse() {
  auto path = NTBackupsManager::backupsPath(true);
  bool isDirectory = false;
  if (path && ns::FileManager::defaultManager().fileExists(*path, &isDirectory) && isDirectory) return path;
  return std::nullopt;
}

}  // namespace

std::string NTBackupsManager::backupsPath() {
  if (auto cloud = cloudBackupsInUse()) return *cloud;
  return *backupsPath(false);  // the local directory always has a path
}

bool NTBackupsManager::backupsUseICloud() { return cloudBackupsInUse().has_value(); }

std::vector<NTBackup> NTBackupsManager::localBackups() {
  std::string directory = backupsPath();
  ns::Error error;
  auto names = ns::FileManager::defaultManager().contentsOfDirectory(directory, &error);
  std::vector<NTBackup> backups;
  if (!names) {
    QB_REPORT(error);
    return backups;
  }
  for (const auto& name : *names) {
    if (isBackupFileName(name)) backups.emplace_back(ns::URL::fileURLWithPath(directory + "/" + name));
  }
  // Newest first; a descriptor without a date goes last.
  std::stable_sort(backups.begin(), backups.end(), [](const NTBackup& a, const NTBackup& b) {
    if (!a.date() || !b.date()) return a.date().has_value() && !b.date().has_value();
    return *b.date() < *a.date();
  });
  return backups;
}

void NTBackupsManager::removeBackup(const NTBackup& backup) {
  ns::Error error;
  if (!ns::FileManager::defaultManager().removeItem(backup.URL(), &error)) QB_REPORT(error);
}

void NTBackupsManager::setBackupsUseICloud(bool useICloud,
                                           std::function<void(const ns::Error*)> completionBlock) {
  auto task = NTBackupTask::begin("Backups Location");
  dispatch::Queue::global()->async([useICloud, completionBlock, task] {
    auto finish = [&](const ns::Error* error) {
      if (completionBlock) completionBlock(error);
      task->end();
    };
    if (backupsUseICloud() == useICloud) return finish(nullptr);
    // One look at the container, which may have gone since the look above:
    // without it nothing can move either way.
    auto cloudPath = backupsPath(true);
    if (!cloudPath) {
      // Passed on, so the settings screen does not show a switch that failed.
      ns::Error error = QB_REPORT(useICloud ? "iCloud enabled but iCloud container path is nil"
                                            : "iCloud container path is nil");
      return finish(&error);
    }
    auto& fm = ns::FileManager::defaultManager();
    std::string source = useICloud ? *backupsPath(false) : *cloudPath;
    std::string destination = useICloud ? *cloudPath : *backupsPath(false);
    // Never delete what is already at the destination: move file by file,
    // giving a moved file a free name on a clash.
    std::optional<ns::Error> firstError;
    ns::Error error;
    if (!fm.fileExists(destination) && !fm.createDirectory(destination, true, &error)) {
      QB_REPORT(error);
      return finish(&error);
    }
    auto names = fm.contentsOfDirectory(source, &error);
    if (!names) {
      QB_REPORT(error);
      return finish(&error);
    }
    for (const auto& name : *names) {
      std::string target = destination + "/" + freeNameIn(destination, name);
      ns::Error moveError;
      bool moved = fm.setUbiquitous(useICloud, ns::URL::fileURLWithPath(source + "/" + name),
                                    ns::URL::fileURLWithPath(target), &moveError);
      if (!moved) {
        QB_REPORT(moveError);
        if (!firstError) firstError = moveError;
      }
    }
    if (!firstError) {
      // The emptied source goes, so the location reads as the one asked for.
      ns::Error removeError;
      if (!fm.removeItem(source, &removeError)) QB_REPORT(removeError);
      // The local directory must exist again for backupsPath(false) callers.
      if (!useICloud) backupsPath(false);
    }
    finish(firstError ? &*firstError : nullptr);
  });
}

void NTBackupsManager::downloadCloudBackupsWhenAvailable() {
  // The metadata query over the container: every backup file there that is
  // not current starts downloading. The host container holds its files
  // locally, so one pass suffices.
  auto& fm = ns::FileManager::defaultManager();
  auto path = backupsPath(true);
  if (!path) return;
  auto names = fm.contentsOfDirectory(*path, nullptr);
  if (!names) return;
  for (const auto& name : *names) {
    if (!isBackupFileName(name)) continue;
    ns::URL url = ns::URL::fileURLWithPath(*path + "/" + name);
    auto status = fm.ubiquitousItemDownloadingStatus(url);
    if (status && *status != ns::kUbiquitousItemDownloadingStatusCurrent) fm.startDownloadingUbiquitousItem(url);
  }
}
