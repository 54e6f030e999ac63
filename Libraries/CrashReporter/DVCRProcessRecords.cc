// The sections after "threads": runtime, queue and thread names, process
// statistics, and the debugger test.
#include <cstring>

#include "Libraries/CrashReporter/DVCRBinaryImageSlot.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRProcess.h"
#include "Libraries/CrashReporter/DVCRSafeRead.h"
#include "Libraries/CrashReporter/DVCRUtilities.h"
#include "Platform/Dispatch/QueueLabels.h"
#include "Platform/Mach/HostStatistics.h"

namespace {

// The first bytes of an image's crash-info record.
struct CrashInfoRecord {
  uint64_t version;
  uint64_t message;
  uint64_t rest[5];
};
static_assert(sizeof(CrashInfoRecord) == 56);

// No function here dispatches messages; with one, its entry would go here.
constexpr uint64_t kMessageSendEntry = 0;
constexpr uint64_t kMessageSendLength = 67;
constexpr size_t kSelectorLimit = 128;

// Copies the NUL-terminated string at `source` into `buffer` (size bytes),
// reading page by page so that a short string at the end of a mapping is
// still read. False when a byte cannot be read or no NUL comes within
// size - 1 bytes.
bool copyString(uint64_t source, char* buffer, size_t size) {
  constexpr uint64_t kPage = 4096;
  size_t length = 0;
  while (length < size) {
    uint64_t at = source + length;
    size_t chunk = static_cast<size_t>(kPage - at % kPage);
    if (chunk > size - length) chunk = size - length;
    if (!DVCRReadMemory(reinterpret_cast<const void*>(at), buffer + length, chunk)) return false;
    if (memchr(buffer + length, '\0', chunk) != nullptr) return true;
    length += chunk;
  }
  return false;
}

void writeCrashInfo(DVCRFile* file, uint64_t address) {
  CrashInfoRecord record;
  if (!DVCRReadMemory(reinterpret_cast<const void*>(address), &record, sizeof record)) return;
  DVCRSDKLogDebug("Found crash info with version %d\n", static_cast<int>(record.version));
  if (record.version >= 6 || record.message == 0) return;
  DVCRSDKLogDebug("attempting to read crash info string\n");
  // A copy: the message belongs to another image and is redacted here, so
  // its own bytes are never written.
  char message[kDVCRCrashInfoMessageLimit + 1];
  if (!copyString(record.message, message, sizeof message)) {
    DVCRSDKLogError("Failed to copy crash info string\n");
    return;
  }
  DVCRRedactUUID(message);
  DVCRFileWriteArrayEntryHexEncodedString(file, message);
}

}  // namespace

const char* DVCRProcessGetObjCSelectorName(const DVCRThreadState* crashedState) {
  uint64_t pc = DVCRThreadContextGetPC(crashedState);
  if (kMessageSendEntry == 0 || pc < kMessageSendEntry || pc > kMessageSendEntry + kMessageSendLength - 1) return "";
  const char* selector = nullptr;
  // The selector is the second argument (rsi).
  if (!DVCRReadString(reinterpret_cast<const void*>(crashedState->gregs[REG_RSI]), &selector, kSelectorLimit)) {
    DVCRSDKLogWarn("Unable to read the selector string\n");
    return "";
  }
  return selector;
}

void DVCRProcessRecordCrashInfo(DVCRFile* file) {
  DVCRFileWriteHashKey(file, "crash_info_entries");
  DVCRFileWriteArrayStart(file);
  if (const DVCRBinaryImageSlot* slots = DVCRBinaryImageSlots()) {
    for (size_t i = 0; i < kDVCRBinaryImageSlotCount; ++i) {
      uint64_t address = __atomic_load_n(&slots[i].crashInfo, __ATOMIC_ACQUIRE);
      if (address != 0) writeCrashInfo(file, address);
    }
  }
  DVCRFileWriteArrayEnd(file);
}

void DVCRProcessRecordRuntimeInfo(const DVCRProcess* process, DVCRFile* file) {
  DVCRThreadState state;
  memset(&state, 0, sizeof state);
  if (!DVCRProcessGetThreadState(process, process->crashedThread, &state))
    DVCRSDKLogError("unable to get crashed thread state\n");
  DVCRFileWriteSectionStart(file, "runtime");
  DVCRFileWriteHashStart(file);
  DVCRFileWriteHashEntryString(file, "objc_selector", DVCRProcessGetObjCSelectorName(&state));
  DVCRProcessRecordCrashInfo(file);
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteSectionEnd(file);
}

const char* DVCRProcessGetThreadDispatchQueueName(mach::ThreadId thread) {
  const auto* address = dispatch::queueLabelAddress(thread);
  if (address == nullptr) return "";
  const char* label = nullptr;
  if (!DVCRReadMemory(address, &label, sizeof label) || label == nullptr) return "";
  const char* checked = nullptr;
  return DVCRReadString(label, &checked, kDVCRQueueLabelLimit) ? checked : "";
}

void DVCRProcessRecordDispatchQueueNames(const DVCRProcess* process, DVCRFile* file) {
  DVCRFileWriteSectionStart(file, "dispatch_queue_names");
  DVCRFileWriteArrayStart(file);
  for (uint32_t i = 0; i < process->threads.count; ++i)
    DVCRFileWriteArrayEntryString(file, DVCRProcessGetThreadDispatchQueueName(process->threads.threads[i]));
  DVCRFileWriteArrayEnd(file);
  DVCRFileWriteSectionEnd(file);
}

void DVCRProcessRecordThreadNames(const DVCRProcess* process, DVCRFile* file) {
  DVCRFileWriteSectionStart(file, "thread_names");
  DVCRFileWriteArrayStart(file);
  for (uint32_t i = 0; i < process->threads.count; ++i) {
    char name[kDVCRThreadNameLimit];
    mach::threadName(process->threads.threads[i], name, sizeof name);
    DVCRFileWriteArrayEntryString(file, name);
  }
  DVCRFileWriteArrayEnd(file);
  DVCRFileWriteSectionEnd(file);
}

bool DVCRProcessGetMemoryUsage(uint64_t* active, uint64_t* inactive, uint64_t* wired, uint64_t* free) {
  if (active == nullptr || inactive == nullptr || wired == nullptr || free == nullptr) {
    DVCRSDKLogWarn("Invalid pointers\n");
    return false;
  }
  mach::VMStatistics statistics;
  if (!mach::hostVMStatistics(&statistics)) {
    DVCRSDKLogWarn("Failed to get vm statistics\n");
    return false;
  }
  *active = statistics.activePages * statistics.pageSize;
  *inactive = statistics.inactivePages * statistics.pageSize;
  *wired = statistics.wiredPages * statistics.pageSize;
  *free = statistics.freePages * statistics.pageSize;
  return true;
}

bool DVCRProcessGetInfo(const DVCRProcess*, uint64_t* virtualSize, uint64_t* residentSize, uint64_t* userTime,
                        uint64_t* systemTime) {
  if (virtualSize == nullptr || residentSize == nullptr || userTime == nullptr || systemTime == nullptr) {
    DVCRSDKLogWarn("Invalid pointers\n");
    return false;
  }
  mach::TaskBasicInfo info;
  if (!mach::taskBasicInfo(&info)) {
    DVCRSDKLogWarn("Failed to get task info\n");
    return false;
  }
  *virtualSize = info.virtualSize;
  *residentSize = info.residentSize;
  *userTime = info.userSeconds * 1'000'000 + info.userMicroseconds;
  *systemTime = info.systemSeconds * 1'000'000 + info.systemMicroseconds;
  return true;
}

void DVCRProcessRecordStats(const DVCRProcess* process, DVCRFile* file) {
  uint64_t active = 0, inactive = 0, wired = 0, free = 0;
  if (!DVCRProcessGetMemoryUsage(&active, &inactive, &wired, &free)) {
    DVCRSDKLogWarn("Unable to get process memory usage\n");
    return;
  }
  uint64_t virtualSize = 0, residentSize = 0, userTime = 0, systemTime = 0;
  if (!DVCRProcessGetInfo(process, &virtualSize, &residentSize, &userTime, &systemTime)) {
    DVCRSDKLogWarn("Unable to get process stats\n");
    return;
  }
  DVCRFileWriteSectionStart(file, "process_stats");
  DVCRFileWriteHashStart(file);
  DVCRFileWriteHashEntryUint64(file, "active", active);
  DVCRFileWriteHashEntryUint64(file, "inactive", inactive);
  DVCRFileWriteHashEntryUint64(file, "wired", wired);
  DVCRFileWriteHashEntryUint64(file, "freeMem", free);
  DVCRFileWriteHashEntryUint64(file, "free_mem", free);
  DVCRFileWriteHashEntryUint64(file, "virtual", virtualSize);
  DVCRFileWriteHashEntryUint64(file, "resident", residentSize);
  DVCRFileWriteHashEntryUint64(file, "user_time", userTime);
  DVCRFileWriteHashEntryUint64(file, "sys_time", systemTime);
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteSectionEnd(file);
}

bool DVCRProcessDebuggerAttached() {
  bool readable = false;
  bool attached = mach::debuggerAttached(&readable);
  if (!readable) DVCRSDKLogWarn("sysctl failed while trying to get kinfo_proc\n");
  return attached;
}
