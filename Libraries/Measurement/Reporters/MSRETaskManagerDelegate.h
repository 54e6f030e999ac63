// What the experiment task manager tells its owner (the experiments
// manager) and asks it. Called from the task manager's worker queue.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Libraries/Measurement/Reporters/MSRESnapshot.h"
#include "Platform/Foundation/Error.h"

class MSRETaskManager;

using MSRESnapshotList = std::vector<std::shared_ptr<MSRESnapshot>>;

class MSRETaskManagerDelegate {
 public:
  virtual ~MSRETaskManagerDelegate() = default;

  // "taskManagerShouldFetchExperiments:"; a delegate that does not answer
  // lets the fetch happen.
  virtual bool taskManagerShouldFetchExperiments(MSRETaskManager& taskManager) {
    (void)taskManager;
    return true;
  }
  // "taskManager:didStartWithActivatedSnapshots:pendingSnapshots:launchedSnapshots:".
  virtual void taskManagerDidStartWithActivatedSnapshots(MSRETaskManager& taskManager,
                                                         const MSRESnapshotList& activated,
                                                         const MSRESnapshotList& pending,
                                                         const MSRESnapshotList& launched) = 0;
  // "taskManager:didFinishFetchingExperimentSnapshots:withErrors:"; errors
  // by SDK name.
  virtual void taskManagerDidFinishFetchingExperimentSnapshots(MSRETaskManager& taskManager,
                                                               const MSRESnapshotList& snapshots,
                                                               const std::map<std::string, ns::Error>& errors) = 0;
  // "taskManager:didUpsertPendingSnapshots:".
  virtual void taskManagerDidUpsertPendingSnapshots(MSRETaskManager& taskManager,
                                                    const MSRESnapshotList& snapshots) = 0;
};
