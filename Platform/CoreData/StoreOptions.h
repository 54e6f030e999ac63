// Names of store types, store options and metadata keys, as the system
// writes them in its option dictionaries.
#pragma once

namespace cd {

inline constexpr const char* kSQLiteStoreType = "SQLite";

inline constexpr const char* kMigratePersistentStoresAutomaticallyOption =
    "NSMigratePersistentStoresAutomaticallyOption";
inline constexpr const char* kInferMappingModelAutomaticallyOption = "NSInferMappingModelAutomaticallyOption";
inline constexpr const char* kPersistentStoreFileProtectionKey = "NSPersistentStoreFileProtectionKey";
inline constexpr const char* kPersistentStoreUbiquitousContentNameKey = "NSPersistentStoreUbiquitousContentNameKey";
inline constexpr const char* kPersistentStoreRemoveUbiquitousMetadataOption =
    "NSPersistentStoreRemoveUbiquitousMetadataOption";
inline constexpr const char* kFileProtectionCompleteUntilFirstUserAuthentication =
    "NSFileProtectionCompleteUntilFirstUserAuthentication";

}  // namespace cd
