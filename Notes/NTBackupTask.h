// A named background task of the application for backup work: begun on the
// caller's thread, ended exactly once from any thread.
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
