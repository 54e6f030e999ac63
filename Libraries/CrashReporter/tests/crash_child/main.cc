// The crash tests' child: it sets the crash context up on the given device
// the way a launch does, then crashes the way its mode says (or exercises
// set-up and exits 0). Before a crash it writes its backtrace() and
// /proc/self/maps beside the device, so the test can compare the recorded
// stack with what the child saw.
//
//   CrashReporter_crash_child <device directory> <mode> [signal number]
//
// Modes: null, abort, throw, recurse, thread (a null write on the thread
// "crash-worker"), raise <n>, gate (the crashed-once gate already passed),
// previous-siginfo, previous-ignore, previous-plain (a SIGSEGV action set
// before set-up), previous-ignore-raised (SIGTRAP ignored before set-up,
// then raised), traced, delayed, session, int3 (a breakpoint trap),
// null-exception-pointer (a null std::exception pointer thrown),
// signal-file-blocked and exception-file-blocked (a directory where the
// record file goes, then a null write or an uncaught exception),
// no-descriptors (none left, then a null write).
//
// Trip wires (TripWires.h) armed on the crashing thread just before the
// fault end the child with status 90 to 94 when a crash handler allocates
// or locks. Core dumps are off.
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "Libraries/CrashReporter/DVCRContextManager.h"
#include "Libraries/CrashReporter/DVCRException.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/DVCRInternalReport.h"
#include "Libraries/CrashReporter/DVCRSettings.h"
#include "Libraries/CrashReporter/DVCRSignal.h"
#include "Libraries/CrashReporter/DVCRUserLogging.h"
#include "Libraries/CrashReporter/tests/TripWires.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Device.h"

// The recursion mode recurses without end on purpose.
#pragma GCC diagnostic ignored "-Winfinite-recursion"

namespace {
std::string sideDirectory;
using dvcr_testing::libcMutexLock;
}  // namespace

namespace {

// Inlined, so backtrace()'s first entry lies in the crashing function itself.
__attribute__((always_inline)) inline void writeSideFiles() {
  void* frames[256];
  int count = backtrace(frames, 256);
  std::ofstream out(sideDirectory + "/backtrace");
  for (int i = 0; i < count; ++i) out << reinterpret_cast<uintptr_t>(frames[i]) << "\n";
  out.close();
  std::ifstream maps("/proc/self/maps");
  std::ofstream(sideDirectory + "/maps") << maps.rdbuf();
}

// The previous actions some modes install before set-up.
void previousSiginfoAction(int signal, siginfo_t* info, void* userContext) {
  dvcr_testing::tripWiresArmed = false;  // the app's own handler may allocate
  struct stat record;
  bool recorded = ::stat((sideDirectory + "/signal-record-path").c_str(), &record) == 0;
  std::ifstream pathFile(sideDirectory + "/signal-record-path");
  std::string path;
  std::getline(pathFile, path);
  recorded = recorded && ::stat(path.c_str(), &record) == 0 && record.st_size > 0;
  bool arguments = signal == SIGSEGV && info != nullptr && info->si_signo == SIGSEGV && userContext != nullptr;
  _exit(recorded && arguments ? 42 : 41);
}
void previousPlainAction(int signal) {
  dvcr_testing::tripWiresArmed = false;
  _exit(signal == SIGSEGV ? 43 : 44);
}

}  // namespace

extern "C" __attribute__((noinline, visibility("default"))) void dvcrChildWriteNull() {
  writeSideFiles();
  dvcr_testing::tripWiresArmed = true;
  *static_cast<volatile int*>(nullptr) = 1;
}

extern "C" __attribute__((noinline, visibility("default"))) void dvcrChildAbort() {
  dvcr_testing::tripWiresArmed = true;
  std::abort();
}

extern "C" __attribute__((noinline, visibility("default"))) void dvcrChildThrow() {
  throw std::runtime_error("boom");
}

extern "C" __attribute__((noinline, visibility("default"))) int dvcrChildRecurse(int depth) {
  volatile char pad[64];
  pad[depth % 64] = static_cast<char>(depth);
  dvcr_testing::tripWiresArmed = true;
  return dvcrChildRecurse(depth + 1) + pad[depth % 64];
}

namespace {

void* crashingThread(void*) {
  pthread_setname_np(pthread_self(), "crash-worker");
  dvcrChildWriteNull();
  return nullptr;
}

std::unique_ptr<DVCRContextManager> setUpContext(const std::string& device) {
  ns::Device::boot(device);
  auto fileManager = std::make_shared<DVCRFileManager>();
  fileManager->createReportDirectories();
  const std::string identifier = "crash-child-execution";
  std::optional<std::string> folder = fileManager->setupNewPathForExecutionIdentifier(identifier);
  if (!folder) _exit(3);
  auto report = DVCRInternalReport::reportWithPath(*folder, identifier);
  auto settings = std::make_shared<DVCRSettings>(
      fileManager, std::make_shared<DVCRApplicationIdentifierModel>(std::map<std::string, std::string>{},
                                                                    DVCRMachOVersion{}, DVCRMachOVersion{}));
  auto manager = std::make_unique<DVCRContextManager>();
  manager->setAppQualitySessionId("first-session");
  if (!manager->setupContextWithReport(report, settings, fileManager)) _exit(4);
  std::ofstream(sideDirectory + "/signal-record-path") << *folder << "/signal.dvrecord\n";
  return manager;
}

// Set-up returns after its parts; the context is published just after.
bool waitUntilReady() {
  for (int i = 0; i < 500 && !DVCRContextIsReady(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return DVCRContextIsReady();
}

void installPrevious(const std::string& mode) {
  struct sigaction action{};
  int signal = mode == "previous-ignore-raised" ? SIGTRAP : SIGSEGV;
  sigemptyset(&action.sa_mask);
  if (mode == "previous-siginfo") {
    action.sa_sigaction = previousSiginfoAction;
    action.sa_flags = SA_SIGINFO;
  } else if (mode == "previous-plain") {
    action.sa_handler = previousPlainAction;
  } else {
    action.sa_handler = SIG_IGN;
  }
  sigaction(signal, &action, nullptr);
}

int runDelayed(const std::string& device) {
  // A set-up part held past the wait: the logging part waits for the lock
  // held here while the virtual clock passes the five seconds.
  ns::Clock::useVirtual(ns::Date(0));
  std::atomic<bool> done{false};
  std::thread clock([&] {
    while (!done) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      ns::Clock::advance(1);
    }
  });
  std::unique_lock<std::mutex> hold(DVCRUserLoggingLock());
  auto manager = setUpContext(device);
  done = true;
  clock.join();
  hold.unlock();
  return waitUntilReady() ? 0 : 5;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  struct rlimit noCore = {0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  const std::string device = argv[1];
  const std::string mode = argv[2];
  sideDirectory = device;
  // backtrace() loads its unwinder on first use, which allocates.
  void* warm[4];
  backtrace(warm, 4);
  libcMutexLock();

  if (mode == "traced" && ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) return 6;
  if (mode.rfind("previous-", 0) == 0) installPrevious(mode);
  if (mode == "delayed") return runDelayed(device);
  auto manager = setUpContext(device);
  if (!waitUntilReady()) return 5;

  if (mode == "previous-ignore-raised") {
    // The app ignores SIGTRAP: once recorded, a raised one is ignored again.
    raise(SIGTRAP);
    raise(SIGTRAP);
    return 0;
  }
  if (mode == "int3") {
    dvcr_testing::tripWiresArmed = true;
    asm volatile("int3");
    dvcr_testing::tripWiresArmed = false;
    return 10;  // ran on past the trap
  }
  if (mode == "null-exception-pointer") throw static_cast<const std::exception*>(nullptr);
  if (mode == "signal-file-blocked" || mode == "exception-file-blocked") {
    // A directory where the record file goes: its open fails.
    std::ifstream pathFile(sideDirectory + "/signal-record-path");
    std::string path;
    std::getline(pathFile, path);
    if (mode == "exception-file-blocked") path = path.substr(0, path.rfind('/')) + "/exception.dvrecord";
    if (::mkdir(path.c_str(), 0755) != 0) return 11;
    if (mode == "exception-file-blocked") dvcrChildThrow();
    dvcrChildWriteNull();
  }
  if (mode == "no-descriptors") {
    // Every descriptor taken: the record file cannot be opened.
    struct rlimit few = {64, 64};
    setrlimit(RLIMIT_NOFILE, &few);
    while (::dup(STDIN_FILENO) >= 0) {
    }
    dvcrChildWriteNull();
  }
  if (mode == "null" || mode.rfind("previous-", 0) == 0) dvcrChildWriteNull();
  if (mode == "abort") dvcrChildAbort();
  if (mode == "throw") dvcrChildThrow();
  if (mode == "recurse") return dvcrChildRecurse(0);
  if (mode == "thread") {
    pthread_t thread;
    pthread_create(&thread, nullptr, crashingThread, nullptr);
    pthread_join(thread, nullptr);
  }
  if (mode == "raise" && argc > 3) {
    int signal = std::atoi(argv[3]);
    raise(signal);
    // A sent signal is not sent again: the default action is back now.
    raise(signal);
    return 7;
  }
  if (mode == "gate") {
    DVCRContextWritable()->crashOccurred = true;
    dvcrChildWriteNull();
  }
  if (mode == "traced") {
    struct sigaction current{};
    sigaction(SIGSEGV, nullptr, &current);
    bool signalInstalled = current.sa_sigaction == DVCRSignalHandler;
    bool terminateInstalled = std::get_terminate() == DVCRTerminateHandler;
    return signalInstalled || terminateInstalled ? 8 : 0;
  }
  if (mode == "session") {
    manager->setAppQualitySessionId("second-session");
    return 0;
  }
  return 9;
}
