// The marker that tells whether the previous launch died before start-up
// completed: checked and created early in a launch, created again as the
// launch's report is set up, removed once start-up is done.
#pragma once

#include <memory>
#include <string>

#include "Libraries/CrashReporter/DVCRFileManager.h"

class DVCRLaunchMarkerModel {
 public:
  explicit DVCRLaunchMarkerModel(std::shared_ptr<DVCRFileManager> fileManager);

  std::string launchFailureMarkerPath() const;
  // True (logged) when the marker was there; otherwise creates it, false.
  bool checkForAndCreateLaunchMarker();
  bool createLaunchFailureMarker();
  bool launchFailureMarkerPresent() const;
  bool removeLaunchFailureMarker();

 private:
  std::shared_ptr<DVCRFileManager> fileManager_;
};

// Names this launch's report folder: a new random UUID's 32 hex digits,
// lower-case, without hyphens; made once.
class DVCRExecutionIdentifierModel {
 public:
  DVCRExecutionIdentifierModel();
  const std::string& executionID() const { return executionID_; }

 private:
  std::string executionID_;
};
