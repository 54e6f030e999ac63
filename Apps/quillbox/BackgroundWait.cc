#include "Apps/quillbox/BackgroundWait.h"

#include <chrono>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/UIKit/Application.h"

namespace quillbox {
namespace {

// The kit's tasks are the application's too.
std::vector<std::string> runningWork() { return ui::Application::shared().runningBackgroundTasks(); }

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
