// NTBackupsManager::startBackup: writes every folder and note of a store
// into one archive in the backups directory.
#include <mutex>

#include "Libraries/Archive/VLZipArchive.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/NTBackupFileNames.h"
#include "Notes/NTBackupTask.h"
#include "Notes/NTBackupsManager.h"
#include "Notes/NTData.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/Uuid.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/AttributedStringDocument.h"

namespace {

std::mutex busyMutex;
bool busy = false;

std::mutex containerMutex;
std::shared_ptr<cd::PersistentContainer> applicationContainer;

// The state one backup's blocks share.
struct BackupRun {
  NTBackupsManager::ProgressBlock progress;
  std::shared_ptr<NTBackupTask> task;
  std::mutex stopMutex;
  bool stop = false;
  ns::NotificationCenter::TokenPtr observer;

  void report(float p) {
    if (progress) progress(p, nullptr, nullptr);
  }
  // Ends the backup with `error` (reported where it arose): one final
  // call, the task ended.
  void finish(const ns::Error& error) {
    if (progress) progress(1.0f, nullptr, &error);
    done();
  }
  void done() {
    if (observer) ns::NotificationCenter::defaultCenter().removeObserver(observer);
    task->end();
  }
  bool shouldStop() {
    std::lock_guard lock(stopMutex);
    if (!stop) return false;
    finish(QB_REPORT("Protected data unavailable to create backup"));
    return true;
  }
};

// The working directory is fresh scratch, zipped and removed within the
// same backup: nothing there can be replaced or read half-written, so its
// files are written plainly, without temporary names or disk flushes per
// file, which cost more than the rest of the backup together.
bool writeScratchPropertyList(const ns::Dictionary& dictionary, const std::string& path, ns::Error* error) {
  auto data = ns::dataFromPropertyList(ns::Value(dictionary), ns::PropertyListFormat::XML, error);
  return data && ns::FileManager::defaultManager().writeData(*data, path, {.durable = false}, error);
}

// Writes the package tree at `path` (a fresh name in the working directory).
bool writeScratchPackage(const ns::FileWrapper& wrapper, const std::string& path, ns::Error* error) {
  auto& fm = ns::FileManager::defaultManager();
  if (wrapper.isRegularFile()) return fm.writeData(wrapper.regularFileContents(), path, {.durable = false}, error);
  if (!fm.createDirectory(path, false, error)) return false;
  for (const auto& [name, child] : wrapper.fileWrappers()) {
    if (!writeScratchPackage(child, path + "/" + name, error)) return false;
  }
  return true;
}

std::string noteBaseName(size_t index) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04zu", index);
  return buffer;
}

void writeBackup(bool automatic, cd::ManagedObjectContext& context, const std::shared_ptr<BackupRun>& run) {
  auto& fm = ns::FileManager::defaultManager();
  dispatch::Queue::main()->sync([&] {
    if (!ui::Application::shared().isProtectedDataAvailable()) {
      std::lock_guard lock(run->stopMutex);
      run->stop = true;
    }
  });
  run->report(0.0f);
  // The temporary parent goes on every path, so a stopped or failed backup
  // leaves nothing behind.
  std::string parent = fm.temporaryDirectory().appendingPathComponent(ns::globallyUniqueString()).path();
  auto removeParent = [&] {
    ns::Error error;
    if (fm.fileExists(parent) && !fm.removeItem(parent, &error)) QB_REPORT(error);
  };
  if (run->shouldStop()) return;

  std::string backupsDirectory = NTBackupsManager::backupsPath();
  ns::Date start = ns::Date::now();
  std::string name = NTBackup::backupNameForDate(start, automatic);
  std::string working = parent + "/" + name;
  ns::Error error;
  fm.removeItem(working);
  if (!fm.createDirectory(working, true, &error)) QB_REPORT(error);

  auto folders = NTData::fetchSortedFolders(context);
  const float F = float(folders.size());
  for (size_t i = 0; i < folders.size(); ++i) {
    if (run->shouldStop()) return removeParent();
    std::string folderName = ns::globallyUniqueString();
    std::string folderPath = working + "/" + folderName;
    if (!fm.createDirectory(folderPath, true, &error)) QB_REPORT(error);
    ns::Dictionary folderPlist{{"title", ns::Value(folders[i]->title().value_or(""))}};
    if (!writeScratchPropertyList(folderPlist, folderPath + ".plist", &error)) QB_REPORT(error);

    auto notes = NTData::fetchSortedNotesInFolder(context, folders[i]);
    const float N = float(notes.size());
    for (size_t j = 0; j < notes.size(); ++j) {
      if (run->shouldStop()) return removeParent();
      std::string base = folderPath + "/" + noteBaseName(j);
      ns::AttributedString text = notes[j]->text().value_or(ns::AttributedString());
      ns::Error noteError;
      auto wrapper = ui::fileWrapperFromRange(text, ns::Range{0, text.length()},
                                              ns::Dictionary{{ui::kDocumentTypeDocumentAttribute,
                                                              ns::Value(ui::kRTFDTextDocumentType)}},
                                              &noteError);
      if (!wrapper) {
        QB_REPORT(noteError);
      } else if (!writeScratchPackage(*wrapper, base + ".rtfd", &noteError)) {
        QB_REPORT(noteError);
      }
      // A note without a stamp gets the backup's start moment.
      ns::Dictionary notePlist{{"timeStamp", ns::Value(notes[j]->timeStamp().value_or(start))}};
      if (!writeScratchPropertyList(notePlist, base + ".plist", &noteError)) QB_REPORT(noteError);
      run->report(0.8f * (float(i) / F + float(j) / (F * N)));
    }
  }
  if (run->shouldStop()) return removeParent();
  run->report(0.8f);

  // The archive is made beside the working directory and moved into the
  // backups directory only when whole, under a name nothing there has: a
  // failed archive never leaves a partial file, and a backup started in the
  // same second as another one never replaces or removes it.
  std::string made = parent + "/" + name + ".quillbox";
  if (!VLZipArchive::createZipFileAtPath(made, working, false)) {
    removeParent();
    return run->finish(QB_REPORT("Backup archive could not be written"));
  }
  std::string archive;
  ns::Error moveError;
  bool moved = false;
  // A second writer may take the free name between the look and the move.
  for (int attempt = 0; attempt < 8 && !moved; ++attempt) {
    archive = backupsDirectory + "/" + NTBackupFileNames::freeNameIn(backupsDirectory, name + ".quillbox");
    moved = fm.moveItem(made, archive, &moveError);
  }
  removeParent();
  if (!moved) return run->finish(QB_REPORT(moveError));
  ns::FileAttributeChanges dates;
  dates.creationDate = start;
  dates.modificationDate = start;
  if (!fm.setAttributes(dates, archive, &error)) QB_REPORT(error);
  QB_INFO("Backup created: " + archive);
  if (run->progress) {
    NTBackup backup(ns::URL::fileURLWithPath(archive));
    run->progress(1.0f, &backup, nullptr);
  }
  run->done();
}

}  // namespace

void NTBackupsManager::setApplicationContainer(std::shared_ptr<cd::PersistentContainer> container) {
  std::lock_guard lock(containerMutex);
  applicationContainer = std::move(container);
}

void NTBackupsManager::startBackup(bool automatic, ProgressBlock progressBlock) {
  {
    std::lock_guard lock(busyMutex);
    if (busy) {
      ns::Error error = QB_REPORT("Backup is already in progress");
      progressBlock(1.0f, nullptr, &error);
      return;
    }
    busy = true;
  }
  std::shared_ptr<cd::PersistentContainer> container;
  {
    std::lock_guard lock(containerMutex);
    container = applicationContainer;
  }
  auto forward = [progressBlock](float p, const NTBackup* backup, const ns::Error* error) {
    // The backup is over before its final call is handed on, so whatever
    // that call starts (a new backup, or a completion queued for the main
    // thread that does) is not refused as busy.
    if (backup || error) {
      std::lock_guard lock(busyMutex);
      busy = false;
    }
    progressBlock(p, backup, error);
  };
  if (!container) {
    ns::Error error = QB_REPORT("No notes store to back up");
    return forward(1.0f, nullptr, &error);
  }
  startBackup(automatic, std::move(container), std::move(forward));
}

void NTBackupsManager::startBackup(bool automatic, std::shared_ptr<cd::PersistentContainer> container,
                                   ProgressBlock progressBlock) {
  auto run = std::make_shared<BackupRun>();
  run->progress = std::move(progressBlock);
  run->task = NTBackupTask::begin("Start Backup");
  std::weak_ptr<BackupRun> weak = run;
  run->observer = ns::NotificationCenter::defaultCenter().addObserver(
      ui::kApplicationProtectedDataWillBecomeUnavailable, &ui::Application::shared(), nullptr,
      [weak](const ns::Notification&) {
        if (auto r = weak.lock()) {
          std::lock_guard lock(r->stopMutex);
          r->stop = true;
        }
      });
  container->performBackgroundTask(
      [automatic, run](cd::ManagedObjectContext& context) { writeBackup(automatic, context, run); });
}
