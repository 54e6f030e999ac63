// NTBackupsManager::openBackup: reads an archive into folders of notes.
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/NTBackupArchiveReader.h"
#include "Notes/NTBackupTask.h"
#include "Notes/NTBackupsManager.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/FileManager.h"

namespace {

void readBackup(const NTBackup& backup, const NTBackupsManager::OpenProgressBlock& progress) {
  auto report = [&](float p) {
    if (progress) progress(p, nullptr, nullptr);
  };
  // The final call with an error reported where it arose.
  auto fail = [&](const ns::Error& error) {
    if (progress) progress(1.0f, nullptr, &error);
  };
  report(0.0f);
  const std::string path = backup.URL().path();
  if (!ns::FileManager::defaultManager().fileExists(path)) return fail(QB_REPORT("Backup file not found."));

  // Read in memory: a damaged or hostile archive is refused whole, with
  // nothing written anywhere.
  ns::Error zipError;
  auto folders = NTBackupArchiveReader::read(path, NTBackupArchiveReader::limits(), report, &zipError);
  if (!folders) {
    QB_INFO("Backup refused: " + zipError.localizedDescription());
    return fail(QB_REPORT("File doesn't seem to be a backup file."));
  }
  if (progress) progress(1.0f, &*folders, nullptr);
}

}  // namespace

void NTBackupsManager::openBackup(const NTBackup& backup, OpenProgressBlock progressBlock) {
  auto task = NTBackupTask::begin("Open Backup");
  dispatch::Queue::global()->async([backup, progressBlock = std::move(progressBlock), task] {
    readBackup(backup, progressBlock);
    task->end();
  });
}
