#include "Platform/Dispatch/detail/Shutdown.h"

#include "Platform/Dispatch/Shutdown.h"

#include <map>
#include <mutex>
#include <vector>

#include "Platform/Foundation/Clock.h"

namespace dispatch::detail {
namespace {

struct Steps {
  std::mutex mutex;
  std::multimap<ShutdownStage, std::function<void()>> steps;
};

Steps& steps() {
  static Steps* s = new Steps;  // outlives the guard that runs them
  return *s;
}

// Each registered step runs once: the steps are taken out before they run.
void runSteps() {
  std::multimap<ShutdownStage, std::function<void()>> run;
  {
    std::lock_guard lock(steps().mutex);
    run.swap(steps().steps);
  }
  for (auto& [stage, step] : run) step();
}

struct Guard {
  // The deadline stage unregisters from the clock: make sure the clock's
  // state is older than the guard, so that it is destroyed after it.
  Guard() { ns::Clock::isVirtual(); }
  ~Guard() { runSteps(); }
};

}  // namespace

void ensureShutdownAtExit() { static Guard guard; }

void addShutdownStep(ShutdownStage stage, std::function<void()> step) {
  ensureShutdownAtExit();
  std::lock_guard lock(steps().mutex);
  steps().steps.emplace(stage, std::move(step));
}

}  // namespace dispatch::detail

namespace dispatch {

void shutdown() { detail::runSteps(); }

}  // namespace dispatch
