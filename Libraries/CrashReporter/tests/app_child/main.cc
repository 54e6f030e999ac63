// The app as far as crash reporting sees it: boots the device (argv[1]),
// takes the main bundle (argv[2]), sends the kit's log lines to the crash
// reporter, configures the default app (which starts crash reporting) and
// runs its commands in order, printing one line for each answer:
//   record    reports an error through the error report, whose line the
//             kit's logger hands on; prints "recorded <the reporting line>"
//   turn      runs what the main queue holds
//   wait      prints "ready" and whether the launch marker is there, then
//             runs the main loop until killed
//   started   waits for the start; "started true" or "started false"
//   crashed   "crashed true" or "crashed false"
//   handled   waits for the unsent reports to be handled; "handled"
//   check     asks whether unsent reports wait; "unsent true" or "unsent false"
//   send, delete, enable   the application's choices with collection off
//   second    "second refused" or "second built"
//   pause     runs the main loop for half a second
#include <cstdio>
#include <string>

#include "Libraries/AppSupportKit/DodevadarudLogger.h"
#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRLaunchMarkerModel.h"
#include "Libraries/CrashReporter/ZOVDodevadarud.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Libraries/Logging/LKLog.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"

namespace {

constexpr double kWaitSeconds = 30;

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// Runs the main loop until the promise is resolved.
bool waitFor(const PRMPromise::Ptr& promise) {
  return dispatch::RunLoop::main().runUntil([&] { return !promise->isPending(); }, kWaitSeconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  ns::Device::boot(argv[1]);
  ns::Bundle::setMainBundlePath(argv[2]);
  LKLog::addLogger(DodevadarudLogger::sharedInstance());
  VIDUve::configure();
  ZOVDodevadarud* reporter = ZOVDodevadarud::dodevadarud();
  if (!reporter) {
    say("no reporter");
    return 3;
  }
  for (int i = 3; i < argc; ++i) {
    std::string command = argv[i];
    if (command == "record") {
      // The crash context is set up off the main thread at start; what is
      // reported before it is ready is not kept, by design.
      dispatch::RunLoop::main().runUntil([] { return DVCRContextIsReady(); }, kWaitSeconds);
      int line = __LINE__ + 1;
      QB_REPORT("The child could not open its notes");
      LKLog::flushLog();
      say("recorded " + std::to_string(line));
    } else if (command == "turn") {
      dispatch::RunLoop::main().drain();
    } else if (command == "wait") {
      // What start-up queued for the report (its timing keys) is written
      // before the parent may kill this run.
      if (dvcrContext.loggingQueue) dvcrContext.loggingQueue->sync([] {});
      say("ready");
      DVCRLaunchMarkerModel marker(std::make_shared<DVCRFileManager>());
      say(std::string("launch marker ") + (marker.launchFailureMarkerPresent() ? "present" : "gone"));
      for (;;) dispatch::RunLoop::main().runOnce(1);
    } else if (command == "started") {
      bool done = waitFor(reporter->startPromise());
      const ns::Value* value = reporter->startPromise()->value().value();
      say(std::string("started ") + (done && value && value->boolValue() ? "true" : "false"));
    } else if (command == "crashed") {
      say(std::string("crashed ") + (reporter->didCrashDuringPreviousExecution() ? "true" : "false"));
    } else if (command == "handled") {
      say(waitFor(reporter->unsentReportsHandled()) ? "handled" : "not handled");
    } else if (command == "check") {
      bool answered = false;
      bool unsent = false;
      reporter->checkForUnsentReportsWithCompletion([&](bool value) {
        answered = true;
        unsent = value;
      });
      dispatch::RunLoop::main().runUntil([&] { return answered; }, kWaitSeconds);
      say(std::string("unsent ") + (unsent ? "true" : "false"));
    } else if (command == "send") {
      reporter->sendUnsentReports();
    } else if (command == "delete") {
      reporter->deleteUnsentReports();
    } else if (command == "enable") {
      reporter->setDodevadarudCollectionEnabled(true);
    } else if (command == "second") {
      auto app = VIDUve::defaultApp();
      auto second = ZOVDodevadarud::initWithApp(app, ns::Bundle::mainBundle()->infoDictionary(),
                                                ZEVUdederozedaru::installationsWithApp(*app), nullptr, nullptr);
      say(second ? "second built" : "second refused");
      say(std::string("same ") + (ZOVDodevadarud::dodevadarud() == reporter ? "true" : "false"));
    } else if (command == "pause") {
      dispatch::RunLoop::main().runUntil([] { return false; }, 0.5);
    } else {
      say("unknown " + command);
      return 2;
    }
  }
  dispatch::shutdown();
  return 0;
}
