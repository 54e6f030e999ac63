#include "Notes/NTBackupTask.h"

std::shared_ptr<NTBackupTask> NTBackupTask::begin(const std::string& name) {
  std::shared_ptr<NTBackupTask> task(new NTBackupTask());
  std::weak_ptr<NTBackupTask> weak = task;
  task->identifier_ = ui::Application::shared().beginBackgroundTask(name, [weak] {
    if (auto t = weak.lock()) t->end();
  });
  return task;
}

// Ended at once on whatever thread finishes the work: a hop to the main
// queue could run after the application object is gone at exit.
void NTBackupTask::end() {
  if (ended_.exchange(true)) return;
  ui::Application::shared().endBackgroundTask(identifier_);
}
