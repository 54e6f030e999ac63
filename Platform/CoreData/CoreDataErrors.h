// Error codes of the object store, in the platform's Cocoa error domain, so
// that callers and reports see the numbers the system expects.
#pragma once

#include <cstdint>

namespace cd {

inline constexpr int64_t kManagedObjectValidationError = 1550;
inline constexpr int64_t kValidationMissingMandatoryPropertyError = 1570;
inline constexpr int64_t kManagedObjectReferentialIntegrityError = 133000;
inline constexpr int64_t kManagedObjectExternalRelationshipError = 133010;
inline constexpr int64_t kPersistentStoreInvalidTypeError = 134000;
inline constexpr int64_t kPersistentStoreIncompatibleSchemaError = 134020;
inline constexpr int64_t kPersistentStoreSaveError = 134030;
inline constexpr int64_t kPersistentStoreIncompleteSaveError = 134040;
inline constexpr int64_t kPersistentStoreOperationError = 134070;
inline constexpr int64_t kPersistentStoreOpenError = 134080;
inline constexpr int64_t kPersistentStoreIncompatibleVersionHashError = 134100;
inline constexpr int64_t kMigrationError = 134110;
inline constexpr int64_t kCoreDataError = 134060;

}  // namespace cd
