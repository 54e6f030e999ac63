// Background work: the application's background tasks, begun by the kit so
// that one whose time runs out ends itself (with a log line) instead of
// leaving the application to be ended with it.
#include <atomic>
#include <mutex>
#include <set>

#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/Logging/LKLog.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/UIKit/Application.h"

namespace {

// The kit's tasks still running (any thread).
std::mutex tasksMutex;
std::set<TXKit::BackgroundTaskIdentifier>& kitTasks() {
  static std::set<TXKit::BackgroundTaskIdentifier> running;
  return running;
}

}  // namespace

void TXKit::background(std::function<void()> block) {
  if (!block) return;
  BackgroundTaskIdentifier task = beginBackgroundTaskWithName("Background Block");
  dispatch::Queue::global(dispatch::Priority::Background)->async([block = std::move(block), task] {
    block();
    endBackgroundTask(task);
  });
}

TXKit::BackgroundTaskIdentifier TXKit::beginBackgroundTask() { return beginBackgroundTaskWithName(""); }

TXKit::BackgroundTaskIdentifier TXKit::beginBackgroundTaskWithName(const std::string& name) {
  // The handler may run before the identifier is known here: it reads it
  // from where it is stored once the begin returns.
  auto stored = std::make_shared<std::atomic<BackgroundTaskIdentifier>>(ui::kBackgroundTaskInvalid);
  BackgroundTaskIdentifier task = beginBackgroundTaskWithName(name, [stored, name] {
    BackgroundTaskIdentifier id = stored->load();
    LKLog::log(true, LKLogLevelAll, LKLogFlagInfo, 0, __FILE__, __func__, __LINE__, nullptr,
               "Ending background task %@ (\"%@\") automatically after expiration!",
               static_cast<unsigned long long>(id), name);
    endBackgroundTask(id);
  });
  stored->store(task);
  return task;
}

TXKit::BackgroundTaskIdentifier TXKit::beginBackgroundTaskWithName(const std::string& name,
                                                                   std::function<void()> expirationHandler) {
  auto stored = std::make_shared<std::atomic<BackgroundTaskIdentifier>>(ui::kBackgroundTaskInvalid);
  BackgroundTaskIdentifier task =
      ui::Application::shared().beginBackgroundTask(name, [stored, expirationHandler = std::move(expirationHandler)] {
        if (expirationHandler) expirationHandler();
        // The application ends an expired task the handler left running.
        std::lock_guard lock(tasksMutex);
        kitTasks().erase(stored->load());
      });
  stored->store(task);
  std::lock_guard lock(tasksMutex);
  kitTasks().insert(task);
  return task;
}

void TXKit::endBackgroundTask(BackgroundTaskIdentifier identifier) {
  ui::Application::shared().endBackgroundTask(identifier);
  std::lock_guard lock(tasksMutex);
  kitTasks().erase(identifier);
}

size_t TXKit::activeBackgroundTaskCount() {
  std::lock_guard lock(tasksMutex);
  return kitTasks().size();
}
