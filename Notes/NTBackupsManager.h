// Backups of the notes store, as the store's iCloud switch calls them.
//
// Seam: only the iCloud flag exists so far, kept in memory and never
// switched on (there is no iCloud here); the switch answers at once with
// no error. The backup work replaces the bodies.
#pragma once

#include <functional>

#include "Platform/Foundation/Error.h"

class NTBackupsManager {
 public:
  static bool backupsUseICloud();
  static void setBackupsUseICloud(bool useICloud, std::function<void(const ns::Error*)> completionBlock);
};
