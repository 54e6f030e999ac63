#include "Notes/SettingsBackupViewController.h"

#include <mutex>

namespace {
std::mutex mutex;
std::optional<NTBackup>& last() {
  static std::optional<NTBackup> backup;
  return backup;
}
}  // namespace

void SettingsBackupViewController::presentBackup(const NTBackup& backup) {
  std::lock_guard lock(mutex);
  last() = backup;
}

std::optional<NTBackup> SettingsBackupViewController::lastPresentedBackup() {
  std::lock_guard lock(mutex);
  return last();
}
