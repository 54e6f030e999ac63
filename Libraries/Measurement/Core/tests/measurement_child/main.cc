// The end-to-end tests' child: the app as measurement sees it. Boots the
// device (argv[1]), takes the main bundle (argv[2]), configures the default
// app as the app does (which starts measurement through the facade's load
// hook) and runs its commands in order, printing a line for each answer:
//   log FIRST COUNT   logs the events FIRST to FIRST + COUNT - 1 through
//             the facade: "e2e_event" with "n" (the number), "label" (a
//             string) and "ratio" (n / 4); after each is stored it prints
//             "stored <n>" and leaves the foreground, which starts an upload
//             (one is in flight at a time; the others wait for it)
//   drain     leaves the foreground until nothing waits to be uploaded;
//             "drained", or "not drained" after 100 tries
// Arguments that begin with "-" are the process's launch arguments, not
// commands.
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/VOZIzizuzove.h"
#include "Libraries/Measurement/Core/testing/MSRAnalyticsTesting.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Application.h"

namespace {

// Far past what the slowest machine needs: it only ends a child whose
// parent has already failed.
constexpr double kPatienceSeconds = 300;

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// Runs the main loop until `block`, run on another thread, returns: the
// engine's identity asks the main thread for the vendor identifier.
template <typename Block>
void offMain(Block block) {
  std::atomic<bool> done{false};
  std::thread waiter([&] {
    block();
    done = true;
  });
  dispatch::RunLoop::main().runUntil([&done] { return done.load(); }, kPatienceSeconds);
  waiter.join();
}

// Until what the facade queued is stored and what that queued has run.
void settle() { offMain([] { MSRAnalyticsWaitForTesting(); }); }

void leaveForeground() {
  ns::NotificationCenter::defaultCenter().post(ui::kApplicationWillResignActiveNotification);
}

// Whether raw events or bundles still wait in the engine's database.
bool dataWaits() {
  auto engine = MSRMeasurement::sharedInstance();
  if (!engine) return true;
  bool waits = true;
  offMain([&] { engine->scheduler()->dispatchSyncOnWorkerQueueBlockID("child", [&] { waits = engine->hasDataToUpload(); }); });
  return waits;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  ns::Device::boot(argv[1]);
  ns::Bundle::setMainBundlePath(argv[2]);
  VIDUve::configure();
  for (int i = 3; i < argc; ++i) {
    std::string command = argv[i];
    if (command.rfind('-', 0) == 0) continue;
    if (command == "log" && i + 2 < argc) {
      const long long first = std::stoll(argv[i + 1]), count = std::stoll(argv[i + 2]);
      i += 2;
      for (long long n = first; n < first + count; ++n) {
        VOZIzizuzove::logEventWithName("e2e_event", ns::Dictionary{{"n", ns::Value(static_cast<int64_t>(n))},
                                                                   {"label", "event " + std::to_string(n)},
                                                                   {"ratio", static_cast<double>(n) / 4}});
        settle();
        say("stored " + std::to_string(n));
        leaveForeground();
      }
    } else if (command == "drain") {
      settle();
      bool drained = false;
      for (int attempt = 0; attempt < 100 && !drained; ++attempt) {
        leaveForeground();
        settle();
        // The answer comes on the network client's thread and is handled
        // on the worker queue: turn the main loop a little between checks.
        for (int turn = 0; turn < 50 && (drained = !dataWaits()) == false; ++turn) {
          dispatch::RunLoop::main().runUntil([] { return false; }, 0.05);
        }
      }
      say(drained ? "drained" : "not drained");
    } else {
      say("unknown " + command);
      return 2;
    }
  }
  dispatch::shutdown();
  return 0;
}
