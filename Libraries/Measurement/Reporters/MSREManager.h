// The experiments manager: libraries (clients, by SDK name) register
// default flags with it and read flag values that server-side experiments
// override.
//
// Per SDK name it keeps three snapshots: pending (fetched, not yet in
// force), activated (in force) and launched (the experiment 0, rolled out
// to everybody). A flag read looks in the activated snapshot, then in the
// launched one, then in the client's defaults; a flag without a value
// counts as absent at its level. A client whose delegate takes new
// snapshots activates them itself; for the others a fetched snapshot waits
// until the task manager activates it at the next start.
//
// Messages (codes 800000-800028) go to the experiments' monitor, the
// measurement monitor. Invalid arguments never throw: one message, then
// null, false or -1.
//
// Threading: snapshot state changes run on the serial queue
// "MSREExperimentSerialQueue". Reads (flag values, experiment IDs, the
// status, clientForSDKName, activation, reset to defaults) wait on it and
// must not be called from it; registration, reset and the task manager's
// callbacks are queued on it. Blocks on it are shielded from ns::Exception
// (800017/800018).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/MSRMonitor.h"
#include "Libraries/Measurement/Reporters/MSREClient.h"
#include "Libraries/Measurement/Reporters/MSRESDKProperty.h"
#include "Libraries/Measurement/Reporters/MSRESnapshot.h"
#include "Libraries/Measurement/Reporters/MSRETaskManagerDelegate.h"
#include "Libraries/TelemetryFoundation/ZULMutableDictionary.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Value.h"

class MSRETaskManager;

// activatedSnapshotStatusOfSDKName: answers.
enum MSRESnapshotStatus : int64_t {
  MSRESnapshotStatusInvalidSDK = -1,   // empty name, or no client registered
  MSRESnapshotStatusNoSnapshot = -2,   // nothing activated
  MSRESnapshotStatusFresh = 0,
  MSRESnapshotStatusStale = 1,         // activated more than 3 days away from now
};

class MSREManager : public MSRETaskManagerDelegate, public std::enable_shared_from_this<MSREManager> {
 public:
  // The one manager: made with a new task manager, which it then starts.
  static std::shared_ptr<MSREManager> sharedInstance();
  // A manager over `taskManager`, its delegate; not started.
  static std::shared_ptr<MSREManager> initWithTaskManager(std::shared_ptr<MSRETaskManager> taskManager);
  // The experiment library version: 10000.
  static int64_t version();
  // Where every message of the experiment classes goes.
  static std::shared_ptr<MSRMonitor> monitor();

  // Over a new task manager that is not started: it fetches nothing until
  // started.
  MSREManager();
  explicit MSREManager(std::shared_ptr<MSRETaskManager> taskManager);
  ~MSREManager() override;
  MSREManager(const MSREManager&) = delete;
  MSREManager& operator=(const MSREManager&) = delete;

  // Registers the library with its default flags (name -> string or
  // number) and answers its client at once; the registration itself is
  // queued (a second one under the same name replaces client and
  // defaults). Null without a property, with an empty name or with a
  // default that makes no flag.
  virtual std::shared_ptr<MSREClient> registerSDKProperty(std::shared_ptr<MSRESDKProperty> property,
                                                          const ns::Dictionary& defaultFlags);
  std::shared_ptr<MSREClient> clientForSDKName(const std::string& SDKName);
  // The IDs of the activated experiments of every client without a
  // diversion key of its own, ascending.
  virtual std::vector<int64_t> experimentIDs() const;
  std::optional<ns::Value> flagValueForFlagName(const std::optional<ns::Value>& flagName,
                                                const std::optional<ns::Value>& SDKName);
  // Puts the pending snapshot in force (experiment 0 as launched); false
  // without one, or with an absent or empty name (then with an error).
  bool activateSnapshotOfSDK(const std::optional<std::string>& SDKName, ns::Error* error);
  int64_t activatedSnapshotStatusOfSDKName(const std::string& SDKName);
  // Drops the activated snapshot; pending and launched ones stay.
  void resetToDefaultsOfSDKName(const std::string& SDKName);
  // Drop every snapshot (reset keeps the database file, clearAndDelete
  // deletes it); registrations stay.
  virtual void reset();
  void clearAndDelete();

  const std::shared_ptr<MSRETaskManager>& taskManager() const { return taskManager_; }

  void dispatchAsyncOnSerialQueue(std::function<void()> block);
  void dispatchSyncOnSerialQueue(const std::function<void()>& block);

  // MSRETaskManagerDelegate
  bool taskManagerShouldFetchExperiments(MSRETaskManager& taskManager) override;
  void taskManagerDidStartWithActivatedSnapshots(MSRETaskManager& taskManager, const MSRESnapshotList& activated,
                                                 const MSRESnapshotList& pending,
                                                 const MSRESnapshotList& launched) override;
  void taskManagerDidFinishFetchingExperimentSnapshots(MSRETaskManager& taskManager, const MSRESnapshotList& snapshots,
                                                       const std::map<std::string, ns::Error>& errors) override;
  void taskManagerDidUpsertPendingSnapshots(MSRETaskManager& taskManager, const MSRESnapshotList& snapshots) override;

 private:
  using FlagsByName = std::map<std::string, std::shared_ptr<MSRPBFlag>>;
  // Makes this manager the task manager's delegate once it is owned.
  void becomeDelegate();
  // reset (the task manager's reset) or clearAndDelete, then no snapshot.
  void dropSnapshots(bool deleteDatabase);

  ZULMutableDictionary<std::string, std::shared_ptr<MSRESnapshot>> activatedSnapshotsBySDKName_;
  ZULMutableDictionary<std::string, std::shared_ptr<MSRESnapshot>> pendingSnapshotsBySDKName_;
  ZULMutableDictionary<std::string, std::shared_ptr<MSRESnapshot>> launchedSnapshotsBySDKName_;
  const std::shared_ptr<MSRETaskManager> taskManager_;
  ZULMutableDictionary<std::string, std::shared_ptr<MSREClient>> registeredClientsBySDKName_;
  ZULMutableDictionary<std::string, FlagsByName> defaultFlagsBySDKName_;
  const std::shared_ptr<dispatch::Queue> queue_;
  std::once_flag becameDelegate_;
};
