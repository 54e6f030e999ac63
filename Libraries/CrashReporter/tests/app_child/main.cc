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
//   event NAME   logs the event NAME (parameter "step" 1) through the
//             measurement facade and waits until the engine has stored it
//             and the listeners have heard of it; prints "logged NAME"
//   measured  waits until the measurement queues are idle; "measured"
//
// Arguments that begin with "-" are the process's launch arguments (such
// as the measurement debug switch), not commands.
//   crash KIND PLACE   once crash reporting is ready, crashes: KIND is
//             segv, bus, fpe, ill, abort, int3, exception (one escaping a
//             function) or overflow (a stack overflow); PLACE is main, worker
//             (a dispatch worker) or the name of a thread the project starts
//             (quillbox-timers, quillbox-files, quillbox-net,
//             quillbox-routes, MachExcServer), which a signal makes crash.
//             Prints "no thread" when that thread cannot be found.
//
// Trip wires (TripWires.h), armed on the crashing thread just before the
// fault, end the program with status 90 to 94 if the crash handler
// allocates or locks.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>

#include "Libraries/AppSupportKit/DodevadarudLogger.h"
#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRLaunchMarkerModel.h"
#include "Libraries/CrashReporter/ZOVDodevadarud.h"
#include "Libraries/CrashReporter/tests/TripWires.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Libraries/Logging/LKLog.h"
#include "Libraries/Measurement/Core/VOZIzizuzove.h"
#include "Libraries/Measurement/Core/VOZIzizuzoveConnector.h"
#include "Libraries/Measurement/Core/testing/MSRAnalyticsTesting.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"
#include "Platform/Dispatch/FileWatcher.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Network/detail/Engine.h"
#include "Platform/Network/detail/RouteMonitor.h"

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

// Until the measurement queues and the engine's worker queue are idle, the
// connector has passed on what the engine told its listeners, and the main
// queue and the crash log's queue have run what that queued. The wait runs
// on another thread: the engine's identity asks the main thread for the
// vendor identifier, so the main loop turns meanwhile.
void settleMeasurement() {
  std::atomic<bool> done{false};
  std::thread waiter([&done] {
    // Twice: what the connector hands on reaches the measurement queues.
    for (int round = 0; round < 2; ++round) {
      MSRAnalyticsWaitForTesting();
      VOZIzizuzoveConnector::connectorQueue()->sync([] {});
    }
    done = true;
  });
  dispatch::RunLoop::main().runUntil([&done] { return done.load(); }, kWaitSeconds * 10);
  waiter.join();
  dispatch::RunLoop::main().drain();
  if (dvcrContext.loggingQueue) dvcrContext.loggingQueue->sync([] {});
}

// The crash kinds; what the thread that crashes runs.
std::string crashKind;
volatile char* busAddress = nullptr;  // a mapped page past its file's end

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
__attribute__((noinline)) int overflow(int depth) {
  volatile char pad[256];
  pad[depth % 256] = static_cast<char>(depth);
  return overflow(depth + 1) + pad[depth % 256];
}
#pragma GCC diagnostic pop

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wterminate"
__attribute__((noinline)) void escape() noexcept { throw std::runtime_error("escaped"); }
#pragma GCC diagnostic pop

void crashNow() {
  const std::string& kind = crashKind;
  // The exception's own throw and record allocate by design; the trip
  // wires are armed for its abort, by the terminate handler set below.
  if (kind == "exception") escape();
  dvcr_testing::tripWiresArmed = true;
  if (kind == "segv") *static_cast<volatile int*>(nullptr) = 1;
  if (kind == "bus") (void)*busAddress;
  if (kind == "fpe") {
    // A division the compiler cannot turn into something else.
    int zero = 0;
    asm volatile("cltd\n\tidivl %1" : : "a"(1), "r"(zero) : "edx");
  }
  if (kind == "ill") __builtin_trap();
  if (kind == "abort") std::abort();
  if (kind == "int3") asm volatile("int3");
  if (kind == "overflow") overflow(0);
  dvcr_testing::tripWiresArmed = false;
  say("survived");
  _exit(12);
}

void crashOnSignal(int) { crashNow(); }

// The kernel's id of the thread named `name`, or 0.
pid_t threadNamed(const std::string& name) {
  DIR* tasks = ::opendir("/proc/self/task");
  pid_t found = 0;
  while (dirent* entry = tasks ? ::readdir(tasks) : nullptr) {
    if (entry->d_name[0] == '.') continue;
    char comm[64] = {};
    std::string path = std::string("/proc/self/task/") + entry->d_name + "/comm";
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) continue;
    ssize_t length = ::read(fd, comm, sizeof comm - 1);
    ::close(fd);
    if (length > 0 && comm[length - 1] == '\n') comm[length - 1] = '\0';
    if (name == comm) found = static_cast<pid_t>(std::atoi(entry->d_name));
  }
  if (tasks) ::closedir(tasks);
  return found;
}

// Whether the thread waits in the kernel, in one of the calls a thread
// idles in.
bool parkedInSystemCall(pid_t thread) {
  char text[256] = {};
  std::string path = "/proc/self/task/" + std::to_string(thread) + "/syscall";
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  ssize_t length = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  // "running" while it runs: not parked.
  if (length <= 0 || text[0] < '0' || text[0] > '9') return false;
  const long number = std::strtol(text, nullptr, 10);
  for (long wait : {SYS_poll, SYS_ppoll, SYS_epoll_wait, SYS_epoll_pwait, SYS_futex, SYS_select, SYS_pselect6,
                    SYS_nanosleep, SYS_clock_nanosleep, SYS_read})
    if (number == wait) return true;
  return false;
}

// Starts what runs the place's thread, so that it exists.
void startPlace(const std::string& place, const std::string& device) {
  if (place == "quillbox-timers") dispatch::Queue::global()->afterSeconds(3600, [] {});
  if (place == "quillbox-net") net::detail::Engine::shared();
  if (place == "quillbox-routes") net::detail::RouteMonitor::shared().addListener([] {});
  if (place == "quillbox-files") {
    static int fd = ::open((device + "/watched").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    static auto watcher = dispatch::FileWatcher::create(fd, dispatch::FileWatcher::kWrite, dispatch::Queue::global());
    if (watcher) watcher->resume();
  }
}

int crash(const std::string& kind, const std::string& place, const std::string& device) {
  crashKind = kind;
  // A page past the end of an empty file: touching it is a bus error.
  int fd = ::open((device + "/empty").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  void* page = ::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0);
  if (page == MAP_FAILED) return 13;
  busAddress = static_cast<volatile char*>(page);
  dvcr_testing::libcMutexLock();
  dispatch::RunLoop::main().runUntil([] { return DVCRContextIsReady(); }, kWaitSeconds);
  // What start-up queued is written before the crash.
  if (dvcrContext.loggingQueue) dvcrContext.loggingQueue->sync([] {});
  if (place == "main") crashNow();
  if (place == "worker") {
    dispatch::Queue::global()->async([] { crashNow(); });
  } else {
    startPlace(place, device);
    pid_t thread = 0;
    // The thread names itself as it starts.
    for (int i = 0; i < 5000 && (thread = threadNamed(place)) == 0; ++i) ::usleep(1000);
    if (thread == 0) {
      say("no thread");
      return 14;
    }
    // Run on the thread's own stack, as its code would: an overflow there
    // needs the thread's alternate signal stack to be recorded.
    struct sigaction action{};
    action.sa_handler = crashOnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGUSR2, &action, nullptr);
    // A throw allocates: interrupting the thread inside malloc would make
    // the handler wait for the lock its own thread holds. Parked in a
    // system call it holds none.
    if (kind == "exception") {
      for (int i = 0; i < 5000 && !parkedInSystemCall(thread); ++i) ::usleep(1000);
    }
    ::syscall(SYS_tgkill, ::getpid(), thread, SIGUSR2);
  }
  for (;;) ::pause();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  ns::Device::boot(argv[1]);
  // Runs after the crash reporter's own terminate handler has recorded an
  // escaping exception: its abort is then a crash like any other.
  std::set_terminate([] {
    dvcr_testing::tripWiresArmed = true;
    std::abort();
  });
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
    if (command.rfind('-', 0) == 0) continue;
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
    } else if (command == "crash" && i + 2 < argc) {
      return crash(argv[i + 1], argv[i + 2], argv[1]);
    } else if (command == "event" && i + 1 < argc) {
      std::string name = argv[++i];
      VOZIzizuzove::logEventWithName(name, ns::Dictionary{{"step", 1}});
      settleMeasurement();
      say("logged " + name);
    } else if (command == "measured") {
      settleMeasurement();
      say("measured");
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
