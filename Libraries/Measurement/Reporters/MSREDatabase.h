// The experiments database: one SQLite file (MSRSqliteStore) with three
// tables of the same columns, one row per SDK name in each:
//   "pending_snapshot_table"    fetched, not yet in force
//   "activated_snapshot_table"  in force
//   "launched_snapshot_table"   the experiment 0 of the activated snapshot
// columns "sdk_name" TEXT NOT NULL PRIMARY KEY, "snapshotProto" BLOB NOT
// NULL (the encoded Snapshot), "timestamp" REAL NOT NULL (seconds since
// 1970), "manually_activated" INTEGER (0 or 1; NULL outside the pending
// table).
//
// A database whose tables cannot be made or validated is deleted and the
// open fails (810002). Messages go to the experiments' monitor; errors use
// the measurement error domain.
//
// Threading: the store's rule; the task manager uses it from its worker
// queue only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Measurement/Reporters/MSRESnapshot.h"
#include "Libraries/Measurement/Storage/MSRSqliteStore.h"
#include "Platform/Foundation/Error.h"

inline constexpr const char* kMSREPendingSnapshotTable = "pending_snapshot_table";
inline constexpr const char* kMSREActivatedSnapshotTable = "activated_snapshot_table";
inline constexpr const char* kMSRELaunchedSnapshotTable = "launched_snapshot_table";

class MSREDatabase {
 public:
  // Opens with the context word "Init"; null when that fails.
  static std::shared_ptr<MSREDatabase> initWithPath(const std::string& path);

  bool initializeDatabaseResourcesWithContext(const std::string& context, const std::string& databasePath);
  bool ensureAllTables();
  void closeAndDelete();
  // Deletes the file and opens it afresh ("Reset").
  void reset();
  // The block inside one exclusive transaction; rolled back when it
  // answers false (810007).
  bool performTransaction(const std::function<bool()>& block);

  std::optional<std::vector<std::shared_ptr<MSRESnapshot>>> fetchAllActivatedSnapshots(ns::Error* error);
  std::optional<std::vector<std::shared_ptr<MSRESnapshot>>> fetchAllPendingSnapshots(ns::Error* error);
  std::optional<std::vector<std::shared_ptr<MSRESnapshot>>> fetchAllLaunchedSnapshots(ns::Error* error);

  // Experiment 0 into the launched table, the others (when any) into the
  // activated table, both at `timestamp`; then the pending rows of the SDK
  // not newer than `timestamp` go.
  bool activateSnapshot(const std::shared_ptr<MSRESnapshot>& snapshot, double timestamp, ns::Error* error);
  // Activated rows 3 days old or older.
  bool deleteStaleActivatedSnapshots(ns::Error* error);
  bool upsertPendingExperimentSnapshots(const std::vector<std::shared_ptr<MSRESnapshot>>& snapshots,
                                        ns::Error* error);
  // Activates, in row order, every pending snapshot not waiting for its
  // client.
  bool activatePendingSnapshotsAutomatically(ns::Error* error);
  bool deleteActivatedExperimentsOfSDKName(const std::string& SDKName, ns::Error* error);
  bool deletePendingExperimentsOfSDKName(const std::string& SDKName, ns::Error* error);
  bool deleteLaunchedExperimentSDKName(const std::string& SDKName, ns::Error* error);

  const std::shared_ptr<MSRSqliteStore>& sqliteStore() const { return sqliteStore_; }

 private:
  MSREDatabase() = default;
  bool upsertSnapshot(const std::shared_ptr<MSRESnapshot>& snapshot, const std::string& tableName, double timestamp,
                      std::optional<bool> manuallyActivated, ns::Error* error);
  std::optional<std::vector<std::shared_ptr<MSRESnapshot>>> allDataTypesFromTableWithName(const std::string& tableName,
                                                                                          long tableLimit,
                                                                                          ns::Error* error);
  bool deleteExperimentsOfSDKName(const std::string& SDKName, const std::string& tableName, ns::Error* error);

  std::shared_ptr<MSRSqliteStore> sqliteStore_;
};
