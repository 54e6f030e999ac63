#include "Apps/quillbox/BackgroundWait.h"

#include <chrono>

#include "Libraries/AppSupportKit/TXKit.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/UIKit/Application.h"

namespace quillbox {
namespace {

std::vector<std::string> runningWork() {
  std::vector<std::string> running = ui::Application::shared().runningBackgroundTasks();
  if (size_t kit = TXKit::activeBackgroundTaskCount())
    running.push_back(std::to_string(kit) + " of the kit's background tasks");
  return running;
}

}  // namespace

bool waitForBackgroundWork(double seconds, std::vector<std::string>* running) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  auto& loop = dispatch::RunLoop::main();
  for (;;) {
    loop.drain();
    std::vector<std::string> still = runningWork();
    if (still.empty()) return true;
    if (std::chrono::steady_clock::now() >= deadline) {
      if (running) *running = std::move(still);
      return false;
    }
    loop.runOnce(0.02);
  }
}

}  // namespace quillbox
