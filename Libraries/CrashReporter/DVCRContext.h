// The crash context: everything crash-time code (signal handler, terminate
// handler, thread recording, unwinding, the internal log) reads, built once
// early in each launch and never changed afterwards. It holds plain memory
// only, all of it inside the crash allocator's mapping (DVCRAllocator.h):
// the read-only half is locked after set-up, so a crash that corrupts memory
// cannot damage what the handlers need; the writable half holds the little
// state crash-time code changes.
//
// Every string in the read-only half is a copy made with DVCRDupString, so
// it is locked with the rest.
//
// Set-up (outside this file) fills both halves, then publishes
// `initialized` with a full fence; DVCRContextIsReady reads it with one.
// Nothing is torn down: the context lives until the process ends.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>

#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRUserLoggingStorage.h"
#include "Platform/Mach/ExceptionPorts.h"

namespace dispatch {
class Queue;
}
struct DVCRAllocator;

inline constexpr size_t kDVCRCrashStackSize = 0x40000;  // 256 KiB each
inline constexpr int kDVCRSignalCount = 7;

struct DVCRExceptionReadOnlyContext {
  const char* path = nullptr;  // <report>/exception.dvrecord
  std::terminate_handler originalTerminateHandler = nullptr;
  uint32_t maxCustomExceptions = 0;
};

struct DVCRHostReadOnlyContext {
  const char* documentDirectoryPath = nullptr;  // none when the device has none
  size_t pageSize = 0;
};

struct DVCRSignalReadOnlyContext {
  const char* path = nullptr;  // <report>/signal.dvrecord
  struct sigaction originalActions[kDVCRSignalCount];
  stack_t originalStack;
};

// What the exception-port swap handed back, to be put back on the way out.
struct DVCRMachExceptionOriginalPorts {
  uint32_t count = 0;
  uint32_t masks[mach::kExceptionTypeCount];
  mach::Port ports[mach::kExceptionTypeCount];
  int32_t behaviors[mach::kExceptionTypeCount];
  int32_t flavors[mach::kExceptionTypeCount];
};

struct DVCRMachExceptionReadOnlyContext {
  mach::Port port = mach::kPortNull;  // receive right, with a send right
  pthread_t thread{};                 // the server thread
  const char* path = nullptr;         // <report>/mach_exception.dvrecord
  uint32_t mask = 0;
  DVCRMachExceptionOriginalPorts originalPorts;
};

struct DVCRUserLoggingReadOnlyContext {
  DVCRKeyValueStorage userKVStorage;
  DVCRKeyValueStorage internalKVStorage;
  DVCRABStorage logStorage;
  DVCRABStorage errorStorage;
  DVCRABStorage customExceptionStorage;
};

struct DVCRReadOnlyContext {
  std::atomic<bool> initialized{false};  // published last; read by any thread
  bool debuggerAttached = false;
  const char* previouslyCrashedFileFullPath = nullptr;
  const char* logPath = nullptr;  // <report>/sdk.log
  const char* reportPath = nullptr;
  void* signalStack = nullptr;  // kDVCRCrashStackSize zeroed bytes of the writable half
  void* machStack = nullptr;    // the same, for the exception-server thread
  const char* binaryImagePath = nullptr;  // <report>/binary_images.dvrecord
  DVCRExceptionReadOnlyContext exception;
  DVCRHostReadOnlyContext host;
  DVCRSignalReadOnlyContext signal;
  DVCRMachExceptionReadOnlyContext machException;
  DVCRUserLoggingReadOnlyContext logging;
};

struct DVCRInternalLoggingWritableContext {
  std::atomic<int32_t> logFd{-1};
  std::atomic<uint32_t> logLevel{1};
  // Lines offered since the crash gate was passed, debug ones on their own:
  // a crash writes a bounded number (DVCRInternalLog.h).
  std::atomic<uint32_t> linesAfterCrash{0};
  std::atomic<uint32_t> debugLinesAfterCrash{0};
};

struct DVCRUserLoggingWritableContext {
  std::atomic<uint32_t> userKVCount{0};
  std::atomic<uint32_t> internalKVCount{0};
  std::atomic<uint32_t> errorsCount{0};
  std::atomic<uint32_t> customExceptionCount{0};
  // Each designates its store's aPath or bPath; read and changed under the
  // user-logging lock (DVCRUserLogging.h).
  const char* activeLogPath = nullptr;
  const char* activeErrorPath = nullptr;
  const char* activeCustomExceptionPath = nullptr;
};

// "binary_images.dvrecord" while it is open (fd -1 otherwise), its writes
// gathered in `writeBuffer` so that each record goes out as one whole line.
// The image slots themselves are a static table (DVCRBinaryImageSlot.h).
struct DVCRBinaryImageWritableContext {
  DVCRFile file;
  char writeBuffer[kDVCRFileWriteBufferSize];
};

struct DVCRWritableContext {
  DVCRInternalLoggingWritableContext internalLogging;
  std::atomic<bool> crashOccurred{false};
  DVCRUserLoggingWritableContext logging;
  DVCRBinaryImageWritableContext binaryImage;
};

// The process-wide context. The two halves are null until set-up allocates
// them; the queues live on the heap (crash-time code never uses them).
struct DVCRContext {
  std::atomic<DVCRReadOnlyContext*> readonly{nullptr};
  std::atomic<DVCRWritableContext*> writable{nullptr};
  std::atomic<DVCRAllocator*> allocator{nullptr};
  std::shared_ptr<dispatch::Queue> loggingQueue;       // "<queue prefix>.logging"
  std::shared_ptr<dispatch::Queue> binaryImagesQueue;  // "<queue prefix>.binary-images"
  std::shared_ptr<dispatch::Queue> exceptionQueue;     // "<queue prefix>.exception"
};
extern DVCRContext dvcrContext;

// What set-up asks the crash allocator for. Sized from this platform's
// structures (its signal actions are large) with room for every path the
// read-only half holds, each copied whole, and for rounding each block.
inline constexpr size_t kDVCRContextPathCount = 24;
inline constexpr size_t kDVCRContextPathRoom = 4096 + 16;  // PATH_MAX and its rounding
inline constexpr size_t kDVCRContextWritableSize = 2 * kDVCRCrashStackSize + sizeof(DVCRWritableContext) + 64;
inline constexpr size_t kDVCRContextReadOnlySize =
    sizeof(DVCRReadOnlyContext) + 16 + kDVCRContextPathCount * kDVCRContextPathRoom;

// The halves, or null. Signal-safe.
DVCRReadOnlyContext* DVCRContextReadOnly();
DVCRWritableContext* DVCRContextWritable();

// The read-only half exists (at a plausible address) and `initialized` is
// set. Every user-logging and exception-recording entry checks it first.
bool DVCRContextIsReady();

// The once-only gate of the crash handlers: false without effect when the
// context is not ready; otherwise one atomic exchange of `crashOccurred`,
// so of any number of threads crashing at once exactly one gets false (and
// records the crash) and every other caller gets true.
bool DVCRContextMarkCrashed();

// Creates the empty marker file that tells the next launch the app crashed.
// Signal-safe; logs to the internal log.
void DVCRCreateCrashedMarkerFile();
