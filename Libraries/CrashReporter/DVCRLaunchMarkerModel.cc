#include "Libraries/CrashReporter/DVCRLaunchMarkerModel.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Platform/Foundation/Uuid.h"

DVCRLaunchMarkerModel::DVCRLaunchMarkerModel(std::shared_ptr<DVCRFileManager> fileManager)
    : fileManager_(std::move(fileManager)) {}

std::string DVCRLaunchMarkerModel::launchFailureMarkerPath() const {
  return fileManager_->structurePath() + "/launchmarker";
}

bool DVCRLaunchMarkerModel::checkForAndCreateLaunchMarker() {
  if (launchFailureMarkerPresent()) {
    DVCRLogDebugMessage("[Dodevadarud:Crash] Last launch failed: this may indicate a crash shortly after app launch.");
    return true;
  }
  createLaunchFailureMarker();
  return false;
}

bool DVCRLaunchMarkerModel::createLaunchFailureMarker() {
  // Plain open and close: no data-protection class exists on this host.
  int fd = ::open(launchFailureMarkerPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  return ::close(fd) == 0;
}

bool DVCRLaunchMarkerModel::launchFailureMarkerPresent() const {
  return fileManager_->fileExistsAtPath(launchFailureMarkerPath());
}

bool DVCRLaunchMarkerModel::removeLaunchFailureMarker() {
  return fileManager_->removeItemAtPath(launchFailureMarkerPath());
}

DVCRExecutionIdentifierModel::DVCRExecutionIdentifierModel() {
  std::string text = ns::Uuid::random().uuidString();
  std::erase(text, '-');
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  executionID_ = std::move(text);
}
