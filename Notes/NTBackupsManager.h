// Backups of the notes store: writing an archive of every folder and note,
// reading one back, and the backup files themselves (listing newest first,
// removal, the backups directory local or in iCloud, iCloud downloads).
//
// Archive layout (a contract with every backup already made): for each
// folder a fresh unique name G with "G.plist" {"title": string} beside a
// directory G holding, per note at position I, "G/IIII.rtfd" (RTFD package)
// and "G/IIII.plist" {"timeStamp": date}. No enclosing directory.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Notes/NTBackup.h"
#include "Platform/CoreData/PersistentContainer.h"
#include "Platform/Foundation/AttributedString.h"
#include "Platform/Foundation/Error.h"

class NTBackupsManager {
 public:
  // One note as read from an archive: its time stamp and text.
  using NoteEntry = std::pair<ns::Date, ns::AttributedString>;
  // Folder title -> its notes. Folders of equal titles share one key.
  using Folders = std::map<std::string, std::vector<NoteEntry>>;
  // (progress, folders or null, error or null); the final call carries 1.0.
  using OpenProgressBlock = std::function<void(float, const Folders*, const ns::Error*)>;

  // (progress, new backup or null, error or null); the final call carries
  // 1.0 and either the backup or an error.
  using ProgressBlock = std::function<void(float, const NTBackup*, const ns::Error*)>;

  // ---- Writing. One backup at a time through this entry: a second one is
  // refused at once, on the caller's thread, with "Backup is already in
  // progress". Backs up the application's container (see below).
  static void startBackup(bool automatic, ProgressBlock progressBlock);
  // Backs up `container` on its background context without the busy guard.
  // Called on the main thread. A failed archive ends with an error and
  // leaves no file; temporary files are removed on every path.
  static void startBackup(bool automatic, std::shared_ptr<cd::PersistentContainer> container,
                          ProgressBlock progressBlock);
  // Removes what backups of an earlier run left in the temporary directory
  // when it was killed while writing (a folder holding nothing but a
  // partial archive). Called at launch, before any backup can start.
  static void removeInterruptedBackups();
  // The application's store, set by the application delegate once its
  // container is loaded.
  static void setApplicationContainer(std::shared_ptr<cd::PersistentContainer> container);

  // ---- Automatic backups. When "NTSettingsAutoBackup" is on and the notes
  // were saved after the last automatic backup (or there was none yet),
  // writes an automatic backup through the guarded entry above. Only a
  // backup that succeeded stamps "LastBackupDate" and then keeps the newest
  // "maxBackups" (configuration group "app", default 50; below 1 keeps
  // all) of the backups directory in use. `completion` (may be empty) runs
  // once: at once on the caller's thread when no backup is due, else on the
  // main queue when the backup has ended, whether it succeeded or failed.
  static void autoBackupIfNeeded(std::function<void()> completion);

  // ---- Reading. Returns at once; all calls of the block come from a
  // background queue.
  static void openBackup(const NTBackup& backup, OpenProgressBlock progressBlock);

  // ---- Files and location.
  // The directory "backups.Notes" in iCloud (absent without a container) or
  // in Documents (created when missing).
  static std::optional<std::string> backupsPath(bool iCloud);
  static std::string backupsPath();  // the one in use
  static bool backupsUseICloud();
  static std::vector<NTBackup> localBackups();  // newest first
  static void removeBackup(const NTBackup& backup);
  // Moves every backup into (or out of) iCloud on a background queue, file
  // by file; backups already at the destination are kept, and on a name
  // clash the moved file gets a free name. The block gets the first error.
  static void setBackupsUseICloud(bool useICloud, std::function<void(const ns::Error*)> completionBlock);
  // Starts downloads of backup files in iCloud that are not current; once.
  static void downloadCloudBackupsWhenAvailable();
};
