#include "Notes/NTOldStore.h"

#include <mutex>

#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/NTBackupTask.h"
#include "Notes/NTBackupsManager.h"
#include "Notes/NTDataModel.h"
#include "Notes/NTSettings.h"
#include "Platform/CoreData/StoreOptions.h"
#include "Platform/Dispatch/MainThread.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/FileManager.h"

namespace {

std::mutex containerMutex;
std::shared_ptr<cd::PersistentContainer> legacyContainer;

constexpr double kICloudSettleSeconds = 5.0;
constexpr double kSafetyBackupDelaySeconds = 20.0;

void setLegacyContainer(std::shared_ptr<cd::PersistentContainer> container) {
  std::lock_guard lock(containerMutex);
  legacyContainer = std::move(container);
}

// Moves the legacy store into the file at `newStorePath`. On failure the
// legacy store leaves the coordinator (which is about to open the current
// store for the application) and no half-made current store stays behind.
void migrate(const std::shared_ptr<cd::PersistentStoreCoordinator>& coordinator,
             const std::shared_ptr<cd::PersistentStore>& oldStore, const std::string& newStorePath,
             const ns::Dictionary& newStoreOptions) {
  if (NTSettings::userDefaults()->boolForKey(NTSettings::kUseICloudKey) && dispatch::isMainThread()) {
    // Lets the legacy store's cloud content settle; only the main thread
    // has a loop to run.
    dispatch::RunLoop::main().runUntilDate(ns::Clock::now().addingTimeInterval(kICloudSettleSeconds));
  }
  ns::Dictionary options = newStoreOptions;
  options.set(cd::kPersistentStoreRemoveUbiquitousMetadataOption, ns::Value(true));
  ns::Error error;
  auto migrated = coordinator->migratePersistentStore(oldStore, newStorePath, options, cd::kSQLiteStoreType, &error);
  if (!migrated) {
    QB_REPORT(error);
    ns::Error removeError;
    if (!coordinator->removePersistentStore(oldStore, &removeError)) QB_REPORT(removeError);
    auto& fm = ns::FileManager::defaultManager();
    if (fm.fileExists(newStorePath) && !fm.removeItem(newStorePath, &removeError)) QB_REPORT(removeError);
    return;
  }
  // The caller adds the current store itself.
  if (!coordinator->removePersistentStore(migrated, &error)) QB_REPORT(error);
  QB_INFO("Migration from OLD iCloud store completed");
}

}  // namespace

ns::URL NTOldStore::oldStoreURL() {
  return ns::URL::fileURLWithPath(ns::Device::current().documentsDirectory() + "/RemoteNotes.sqlite");
}

std::shared_ptr<cd::PersistentStore> NTOldStore::addOldPersistentStoreToCoordinator(
    const std::shared_ptr<cd::PersistentStoreCoordinator>& coordinator, ns::Error* error) {
  ns::Dictionary options{{cd::kMigratePersistentStoresAutomaticallyOption, ns::Value(true)},
                         {cd::kInferMappingModelAutomaticallyOption, ns::Value(true)},
                         {cd::kPersistentStoreUbiquitousContentNameKey, ns::Value("NotesCloudStore")}};
  ns::Error failure;
  auto store = coordinator->addPersistentStore(cd::kSQLiteStoreType, oldStoreURL().path(), options, &failure);
  if (!store) {
    QB_REPORT(failure);
    ns::setError(error, std::move(failure));
  }
  return store;
}

void NTOldStore::migrateIfRequired(const std::shared_ptr<cd::PersistentStoreCoordinator>& coordinator,
                                   const ns::URL& newStoreURL, const ns::Dictionary& newStoreOptions) {
  auto& fm = ns::FileManager::defaultManager();
  // A device that never had a legacy store gets neither an empty one nor
  // an empty safety backup.
  if (!fm.fileExists(oldStoreURL().path())) return;
  auto task = NTBackupTask::begin("Migrate Old Store");

  if (!fm.fileExists(newStoreURL.path())) {
    ns::Error error;
    auto oldStore = addOldPersistentStoreToCoordinator(coordinator, &error);
    if (!oldStore) return task->end();
    migrate(coordinator, oldStore, newStoreURL.path(), newStoreOptions);
  }

  NTDataModel::model();  // registers the model "Notes"
  auto container = cd::PersistentContainer::persistentContainerWithName("Notes");
  ns::Error error;
  if (!addOldPersistentStoreToCoordinator(container->persistentStoreCoordinator(), &error)) return task->end();
  setLegacyContainer(container);

  if (NTSettings::userDefaults()->boolForKey(NTSettings::kCreatedOldDataBackupKey)) return task->end();
  dispatch::Queue::main()->afterSeconds(kSafetyBackupDelaySeconds, [task] {
    createBackupFromOldStoreWithCompletionBlock([task](const ns::Error* error) {
      if (!error) {
        auto defaults = NTSettings::userDefaults();
        defaults->setBool(true, NTSettings::kCreatedOldDataBackupKey);
        defaults->synchronize();
        QB_INFO("Created OLD iCloud store backup");
      }
      task->end();
    });
  });
}

void NTOldStore::createBackupFromOldStoreWithCompletionBlock(std::function<void(const ns::Error*)> completion) {
  auto container = oldContainer();
  if (!container) {
    ns::Error error = QB_REPORT("No old store to back up");
    if (completion) completion(&error);
    return;
  }
  NTBackupsManager::startBackup(true, container,
                                [completion](float, const NTBackup* backup, const ns::Error* error) {
                                  if (!backup && !error) return;  // progress
                                  if (completion) completion(error);
                                });
}

std::shared_ptr<cd::PersistentContainer> NTOldStore::oldContainer() {
  std::lock_guard lock(containerMutex);
  return legacyContainer;
}

void NTOldStore::resetOldContainer() { setLegacyContainer(nullptr); }
