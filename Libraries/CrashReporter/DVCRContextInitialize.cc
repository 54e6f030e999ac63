#include "Libraries/CrashReporter/DVCRContextInitialize.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <new>

#include "Libraries/CrashReporter/DVCRAllocator.h"
#include "Libraries/CrashReporter/DVCRApplication.h"
#include "Libraries/CrashReporter/DVCRBinaryImage.h"
#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRException.h"
#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/DVCRHostInfo.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRInternalReport.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRMachException.h"
#include "Libraries/CrashReporter/DVCRProcess.h"
#include "Libraries/CrashReporter/DVCRSettings.h"
#include "Libraries/CrashReporter/DVCRSignal.h"
#include "Libraries/CrashReporter/DVCRUserLogging.h"
#include "Libraries/CrashReporter/DVCRUtilities.h"
#include "Platform/Dispatch/Group.h"
#include "Platform/Dispatch/Queue.h"

namespace {

// Hidden (leading ".") so no listing of the report's files takes a
// leftover for a record.
constexpr const char* kMetadataTemporaryFile = ".metadata.dvrecord.tmp";

const char* dupPath(const std::string& folder, const char* name) {
  return DVCRDupString((folder + "/" + name).c_str());
}

void createQueues() {
  std::string prefix = DVCRApplicationGetSDKBundleID();
  dvcrContext.loggingQueue = dispatch::Queue::serial(prefix + ".logging");
  dvcrContext.binaryImagesQueue = dispatch::Queue::serial(prefix + ".binary-images");
  dvcrContext.exceptionQueue = dispatch::Queue::serial(prefix + ".exception");
}

// Step one: the mapping with both halves and the two stacks, nothing
// published as ready.
bool allocateContext() {
  DVCRAllocator* allocator = DVCRAllocatorCreate(kDVCRContextWritableSize, kDVCRContextReadOnlySize);
  void* readonlyMemory = DVCRAllocatorSafeAllocate(allocator, sizeof(DVCRReadOnlyContext), kDVCRAllocatorReadOnly);
  void* machStack = DVCRAllocatorSafeAllocate(allocator, kDVCRCrashStackSize, kDVCRAllocatorWritable);
  void* signalStack = DVCRAllocatorSafeAllocate(allocator, kDVCRCrashStackSize, kDVCRAllocatorWritable);
  void* writableMemory = DVCRAllocatorSafeAllocate(allocator, sizeof(DVCRWritableContext), kDVCRAllocatorWritable);
  if (readonlyMemory == nullptr || machStack == nullptr || signalStack == nullptr || writableMemory == nullptr) {
    return false;
  }
  std::memset(readonlyMemory, 0, sizeof(DVCRReadOnlyContext));
  std::memset(writableMemory, 0, sizeof(DVCRWritableContext));
  std::memset(machStack, 0, kDVCRCrashStackSize);
  std::memset(signalStack, 0, kDVCRCrashStackSize);
  auto* readonly = new (readonlyMemory) DVCRReadOnlyContext();
  auto* writable = new (writableMemory) DVCRWritableContext();
  readonly->machStack = machStack;
  readonly->signalStack = signalStack;
  writable->internalLogging.logFd = -1;
  writable->internalLogging.logLevel = kDVCRInternalLogLevelDebug;
  writable->crashOccurred = false;
  readonly->initialized = false;
  dvcrContext.allocator = allocator;
  dvcrContext.writable = writable;
  dvcrContext.readonly = readonly;
  std::atomic_thread_fence(std::memory_order_seq_cst);
  return true;
}

void setUpLogging(DVCRReadOnlyContext* readonly, DVCRWritableContext* writable, const DVCRContextInitData& initData,
                  const std::string& folder) {
  DVCRUserLoggingReadOnlyContext& logging = readonly->logging;
  logging.errorStorage = {dupPath(folder, kDVCRErrorsAFile),
                          dupPath(folder, kDVCRErrorsBFile),
                          0,
                          initData.errorsEnabled ? initData.maxCustomExceptions : 0,
                          false,
                          &writable->logging.errorsCount};
  logging.logStorage = {dupPath(folder, kDVCRLogAFile), dupPath(folder, kDVCRLogBFile), initData.maxLogSize, 0, true,
                        nullptr};
  logging.customExceptionStorage = {dupPath(folder, kDVCRCustomExceptionAFile),
                                    dupPath(folder, kDVCRCustomExceptionBFile),
                                    0,
                                    initData.maxCustomExceptions,
                                    false,
                                    &writable->logging.customExceptionCount};
  logging.userKVStorage = {dupPath(folder, kDVCRUserIncrementalKVFile), dupPath(folder, kDVCRUserCompactedKVFile), 0,
                           initData.maxKeyValues};
  logging.internalKVStorage = {dupPath(folder, kDVCRInternalIncrementalKVFile),
                               dupPath(folder, kDVCRInternalCompactedKVFile), 0, kDVCRInternalKeyValueLimit};
  DVCRUserLoggingInit(&logging, &writable->logging);
}

void setUpHandlers(DVCRReadOnlyContext* readonly, DVCRWritableContext* writable, const DVCRContextInitData& initData,
                   const std::string& folder) {
  if (readonly->debuggerAttached) {
    DVCRSDKLogWarn("Debugger present - not installing handlers\n");
    return;
  }
  readonly->signal.path = dupPath(folder, kDVCRSignalFile);
  DVCRSignalInitialize(&readonly->signal);
  readonly->machException.path = dupPath(folder, kDVCRMachExceptionFile);
  DVCRMachExceptionInit(&readonly->machException);
  readonly->exception.path = dupPath(folder, kDVCRExceptionFile);
  readonly->exception.maxCustomExceptions = initData.customExceptionsEnabled ? initData.maxCustomExceptions : 0;
  DVCRExceptionInitialize(&readonly->exception, &writable->logging.customExceptionCount);
}

void writeIdentity(DVCRFile* file, const DVCRContextInitData& initData) {
  DVCRFileWriteSectionStart(file, "identity");
  DVCRFileWriteHashStart(file);
  DVCRFileWriteHashEntryString(file, "generator", DVCRSDKGeneratorName().c_str());
  DVCRFileWriteHashEntryString(file, "display_version", DVCRSDKVersion().c_str());
  DVCRFileWriteHashEntryString(file, "build_version", DVCRSDKVersion().c_str());
  DVCRFileWriteHashEntryUint64(file, "started_at", static_cast<uint64_t>(::time(nullptr)));
  DVCRFileWriteHashEntryString(file, "session_id", initData.sessionId.c_str());
  DVCRFileWriteHashEntryString(file, "app_vitals_session_id", initData.appQualitySessionId.c_str());
  DVCRFileWriteHashEntryString(file, "install_id", "");
  DVCRFileWriteHashEntryString(file, "beta_token", initData.betaToken.c_str());
  DVCRFileWriteHashEntryBoolean(file, "absolute_log_timestamps", true);
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteSectionEnd(file);
}

void writeApplication(DVCRFile* file, const DVCRContextInitData& initData) {
  DVCRFileWriteSectionStart(file, "application");
  DVCRFileWriteHashStart(file);
  DVCRFileWriteHashEntryString(file, "bundle_id", DVCRApplicationGetBundleIdentifier().c_str());
  DVCRFileWriteHashEntryString(file, "custom_bundle_id",
                               initData.customBundleId ? initData.customBundleId->c_str() : nullptr);
  DVCRFileWriteHashEntryString(file, "build_version", DVCRApplicationGetBundleVersion().c_str());
  DVCRFileWriteHashEntryString(file, "display_version", DVCRApplicationGetShortBundleVersion().c_str());
  DVCRFileWriteHashEntryString(file, "extension_id", DVCRApplicationExtensionPointIdentifier().value_or("").c_str());
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteSectionEnd(file);
}

}  // namespace

bool DVCRContextInitialize(const DVCRContextInitData* initData, const DVCRFileManager* fileManager) {
  (void)fileManager;
  if (initData == nullptr) return false;
  createQueues();
  if (!allocateContext()) return false;
  DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  DVCRWritableContext* writable = DVCRContextWritable();
  dispatch::Group group;
  if (!initData->rootPath) return false;
  const std::string folder = *initData->rootPath;

  readonly->logPath = dupPath(folder, "sdk.log");
  readonly->reportPath = DVCRDupString(folder.c_str());
  if (::unlink(readonly->logPath) != 0 && errno != ENOENT) {
    DVCRLogErrorMessage("Unable to write initialize SDK write paths %s", strerror(errno));
  }
  readonly->debuggerAttached = DVCRProcessDebuggerAttached();
  if (!readonly->debuggerAttached) DVCRSignalInstallAltStack(&readonly->signal, readonly->signalStack);

  const DVCRContextInitData data = *initData;
  const auto& queue = dispatch::Queue::global(dispatch::Priority::Default);
  group.async(queue, [readonly] { DVCRHostInitialize(&readonly->host); });
  group.async(queue, [readonly, writable, data, folder] { setUpLogging(readonly, writable, data, folder); });
  group.async(queue, [readonly, folder] {
    readonly->binaryImagePath = dupPath(folder, kDVCRBinaryImagesFile);
    DVCRBinaryImageInit();
  });
  group.async(queue, [readonly, data] {
    readonly->previouslyCrashedFileFullPath = dupPath(data.previouslyCrashedFileRootPath, "previously-crashed");
  });
  group.async(queue, [readonly, writable, data, folder] { setUpHandlers(readonly, writable, data, folder); });
  group.async(queue, [data, folder] {
    if (!DVCRContextRecordMetadata(folder, data)) DVCRSDKLogWarn("Unable to record context metadata\n");
  });
  auto markReady = [readonly] {
    readonly->initialized = true;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (!DVCRAllocatorProtect(dvcrContext.allocator.load())) DVCRSDKLogWarn("Error: Memory protection failed\n");
  };
  // Ready before this returns when the parts finished in time: what start-up
  // records right after (its timing keys, an early error) is then kept, not
  // dropped while a notification is still on its way.
  if (group.wait(dispatch::timeAfterSeconds(kDVCRContextSetUpWaitSeconds))) {
    markReady();
  } else {
    DVCRSDKLogWarn("Error: Delayed initialization\n");
    group.notify(queue, markReady);
  }
  return true;
}

bool DVCRContextRecordMetadata(const std::string& reportPath, const DVCRContextInitData& initData) {
  const std::string path = reportPath + "/" + kDVCRMetadataFile;
  const std::string temporary = reportPath + "/" + kMetadataTemporaryFile;
  if (!DVCRUnlinkIfExists(temporary.c_str())) {
    DVCRSDKLogWarn("Unable to unlink existing metadata file %s\n", temporary.c_str());
  }
  DVCRFile file;
  if (!DVCRFileInitWithPathMode(&file, temporary.c_str(), false, false)) {
    DVCRSDKLogWarn("Unable to open metadata file %s\n", temporary.c_str());
    return false;
  }
  writeIdentity(&file, initData);
  if (!DVCRHostRecord(&file)) DVCRSDKLogWarn("Unable to write out host metadata\n");
  writeApplication(&file, initData);
  if (!DVCRBinaryImageRecordMainExecutable(&file)) DVCRSDKLogWarn("Unable to write out executable metadata\n");
  bool closed = ::fsync(file.fd) == 0;
  closed = DVCRFileClose(&file) && closed;
  // Only a whole record replaces the one in place.
  if (!closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
    DVCRSDKLogWarn("Unable to replace the metadata file %s\n", path.c_str());
    DVCRUnlinkIfExists(temporary.c_str());
    return false;
  }
  return true;
}

DVCRContextInitData DVCRContextBuildInitData(const DVCRInternalReport& report, const DVCRSettings& settings,
                                             const DVCRFileManager& fileManager,
                                             const std::string& appQualitySessionId) {
  DVCRContextInitData data;
  data.rootPath = report.path();
  data.previouslyCrashedFileRootPath = fileManager.rootPath();
  data.sessionId = report.identifier();
  data.appQualitySessionId = appQualitySessionId;
  data.betaToken = "";
  data.errorsEnabled = settings.errorReportingEnabled();
  data.customExceptionsEnabled = settings.customExceptionsEnabled();
  data.maxCustomExceptions = settings.maxCustomExceptions();
  data.maxErrorLogSize = settings.errorLogBufferSize();
  data.maxLogSize = settings.logBufferSize();
  data.maxKeyValues = settings.maxCustomKeys();
  return data;
}
