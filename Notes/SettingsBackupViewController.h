// The backup details screen, as the launch reaches it: a backup file handed
// to the app is shown there.
//
// Seam: nothing is shown yet; the backup asked for is remembered. The
// backup screens' own work replaces the body.
#pragma once

#include <optional>

#include "Notes/NTBackup.h"

class SettingsBackupViewController {
 public:
  static void presentBackup(const NTBackup& backup);
  // The backup last asked for.
  static std::optional<NTBackup> lastPresentedBackup();
};
