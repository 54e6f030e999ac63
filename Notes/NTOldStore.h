// The store of earlier versions, Documents/"RemoteNotes.sqlite": moved once
// into the current store before that store first opens, and kept reachable
// through a container of its own so that one safety backup of its notes is
// written with the backup engine.
//
// Nothing happens on a device without a legacy store. A legacy store that
// cannot be added stops everything (no move, no backup of nothing); a move
// that fails leaves the legacy store out of the current coordinator, so new
// notes are never saved into it.
#pragma once

#include <functional>
#include <memory>

#include "Platform/CoreData/PersistentContainer.h"
#include "Platform/CoreData/PersistentStoreCoordinator.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

class NTOldStore {
 public:
  // Documents/"RemoteNotes.sqlite".
  static ns::URL oldStoreURL();

  // Adds the legacy store with automatic migration, inferred mapping and
  // the ubiquitous content name "NotesCloudStore". A failure is reported
  // and left in `error`; the result is then null.
  static std::shared_ptr<cd::PersistentStore> addOldPersistentStoreToCoordinator(
      const std::shared_ptr<cd::PersistentStoreCoordinator>& coordinator, ns::Error* error);

  // Runs on the caller's thread before the current store is loaded. When a
  // legacy store exists: moves it to `newStoreURL` when no file is there
  // yet (after a 5-second run of the main loop when "NTSettingsUseICloud"
  // is on), sets up the legacy container, and, until one succeeded
  // ("NTSettingsCreatedOldDataBackup"), schedules the safety backup 20
  // seconds later on the main queue. The background task "Migrate Old
  // Store" lives until that backup ends.
  static void migrateIfRequired(const std::shared_ptr<cd::PersistentStoreCoordinator>& coordinator,
                                const ns::URL& newStoreURL, const ns::Dictionary& newStoreOptions);

  // An automatic backup of the legacy container's notes. `completion` (may
  // be empty) gets null or the error once the backup ended; without a
  // legacy container it gets an error at once.
  static void createBackupFromOldStoreWithCompletionBlock(std::function<void(const ns::Error*)> completion);

  // The legacy container set up by migrateIfRequired; null before.
  static std::shared_ptr<cd::PersistentContainer> oldContainer();
  // Forgets the legacy container (a fresh device in tests).
  static void resetOldContainer();
};
