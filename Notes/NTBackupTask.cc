#include "Notes/NTBackupTask.h"

#include "Platform/Dispatch/MainThread.h"
#include "Platform/Dispatch/Queue.h"

std::shared_ptr<NTBackupTask> NTBackupTask::begin(const std::string& name) {
  std::shared_ptr<NTBackupTask> task(new NTBackupTask());
  std::weak_ptr<NTBackupTask> weak = task;
  task->identifier_ = ui::Application::shared().beginBackgroundTask(name, [weak] {
    if (auto t = weak.lock()) t->end();
  });
  return task;
}

void NTBackupTask::end() {
  if (ended_.exchange(true)) return;
  auto identifier = identifier_;
  if (dispatch::isMainThread()) {
    ui::Application::shared().endBackgroundTask(identifier);
  } else {
    dispatch::Queue::main()->async([identifier] { ui::Application::shared().endBackgroundTask(identifier); });
  }
}
