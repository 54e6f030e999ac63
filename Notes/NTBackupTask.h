// A named background task of the application for backup work: begun on the
// caller's thread, ended exactly once from any thread. The application
// object belongs to the main thread, so an end off the main thread is
// handed to the main queue.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "Platform/UIKit/Application.h"

class NTBackupTask {
 public:
  static std::shared_ptr<NTBackupTask> begin(const std::string& name);
  // Later calls do nothing.
  void end();

 private:
  NTBackupTask() = default;
  std::atomic<bool> ended_{false};
  ui::BackgroundTaskIdentifier identifier_ = ui::kBackgroundTaskInvalid;
};
