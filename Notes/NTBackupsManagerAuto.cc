// NTBackupsManager::autoBackupIfNeeded: an automatic backup after new
// saves, then pruning down to the configured number of backups.
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Notes/NTBackupsManager.h"
#include "Notes/NTSettings.h"
#include "Platform/Dispatch/Queue.h"

namespace {

// Keeps the newest `maxBackups` of the directory in use. The backup just
// made is never removed, even when backups dated in the future (a clock
// set back) push it past the limit.
void prune(int64_t maxBackups, const NTBackup& made) {
  if (maxBackups < 1) return;
  auto backups = NTBackupsManager::localBackups();
  for (size_t i = static_cast<size_t>(maxBackups); i < backups.size(); ++i) {
    if (!(backups[i] == made)) NTBackupsManager::removeBackup(backups[i]);
  }
}

}  // namespace

void NTBackupsManager::autoBackupIfNeeded(std::function<void()> completion) {
  auto defaults = NTSettings::userDefaults();
  if (!defaults->boolForKey(NTSettings::kAutoBackupKey)) {
    if (completion) completion();
    return;
  }
  auto lastSave = defaults->dateForKey(NTSettings::kLastSaveDateKey);
  auto lastBackup = defaults->dateForKey(NTSettings::kLastBackupDateKey);
  if (lastBackup && (!lastSave || !(*lastSave > *lastBackup))) {
    if (completion) completion();
    return;
  }
  startBackup(true, [completion](float, const NTBackup* backup, const ns::Error* error) {
    if (!backup && !error) return;  // progress
    if (backup) {
      // Only a real backup counts: a failed one leaves the stamp, so the
      // next time tries again, and removes none of the good backups.
      auto settings = NTSettings::userDefaults();
      settings->setObject(ns::Value(ns::Date::now()), NTSettings::kLastBackupDateKey);
      settings->synchronize();
      prune(TXConfig::sharedInstance().integerForGroup("app", "maxBackups", 50), *backup);
    }
    if (completion) dispatch::Queue::main()->async(completion);
  });
}
