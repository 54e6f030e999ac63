#include "Libraries/CrashReporter/DVCRException.h"

#include <cxxabi.h>
#include <errno.h>
#include <string.h>

#include <cstdlib>
#include <ctime>
#include <exception>

#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRLaunchMarkerModel.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRProcess.h"
#include "Libraries/CrashReporter/DVCRUserLogging.h"
#include "Libraries/CrashReporter/DVCRUtilities.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Mach/Threads.h"

namespace {

bool isPlausibleAddress(const void* address) { return reinterpret_cast<uintptr_t>(address) >= 4096; }

bool isFatalKind(uint32_t kind) { return kind == kDVCRExceptionKindObjectiveC || kind == kDVCRExceptionKindCpp; }

const char* kindName(uint32_t kind) {
  switch (kind) {
    case kDVCRExceptionKindObjectiveC: return "objective-c";
    case kDVCRExceptionKindCpp: return "c++";
    case kDVCRExceptionKindCustom: return "custom";
    default: return "unknown";
  }
}

void writeFrame(DVCRFile* file, const ZOVStackFrame& frame) {
  DVCRFileWriteHashStart(file);
  DVCRFileWriteHashEntryUint64(file, "pc", frame.address);
  if (frame.symbol) DVCRFileWriteHashEntryHexEncodedString(file, "symbol", frame.symbol->c_str());
  DVCRFileWriteHashEntryUint64(file, "offset", frame.offset);
  if (frame.library) DVCRFileWriteHashEntryHexEncodedString(file, "library", frame.library->c_str());
  if (frame.fileName) DVCRFileWriteHashEntryHexEncodedString(file, "file", frame.fileName->c_str());
  DVCRFileWriteHashEntryUint64(file, "line", frame.lineNumber);
  DVCRFileWriteHashEnd(file);
}

void recordFatal(const DVCRReadOnlyContext* readonly, uint32_t kind, const char* name, const char* reason,
                 const std::vector<ZOVStackFrame>& frames) {
  DVCRFile file;
  if (!DVCRFileInitWithPath(&file, readonly->exception.path, false)) {
    DVCRSDKLogWarn("Unable to open exception file\n");
    return;
  }
  DVCRExceptionWrite(&file, kind, name, reason, frames);
  DVCRHandler(&file, mach::currentThread(), nullptr);
  DVCRFileClose(&file);
}

void recordCaughtException(const char* name, const char* reason) {
  DVCRExceptionRecord(kDVCRExceptionKindCpp, name, reason, {});
}

}  // namespace

void DVCRExceptionInitialize(DVCRExceptionReadOnlyContext* exceptionPart, std::atomic<uint32_t>* customExceptionCount) {
  if (!DVCRUnlinkIfExists(exceptionPart->path)) {
    DVCRSDKLogWarn("Unable to reset the exception file (errno %d)\n", errno);
  }
  exceptionPart->originalTerminateHandler = std::set_terminate(DVCRTerminateHandler);
  if (customExceptionCount != nullptr) *customExceptionCount = 0;
}

void DVCRTerminateHandler() {
  DVCRSDKLogWarn("C++ terminate handler invoked\n");
  const DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  std::terminate_handler original = isPlausibleAddress(readonly) ? readonly->exception.originalTerminateHandler : nullptr;
  if (original == DVCRTerminateHandler) {
    DVCRSDKLogWarn("Error: original handler was set recursively\n");
    original = nullptr;
  }
  if (original != nullptr) {
    DVCRSDKLogWarn("restoring pre-existing handler\n");
    if (std::set_terminate(original) == original) {
      DVCRSDKLogWarn("handler has already been restored, aborting\n");
      std::abort();
    }
  }
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (type != nullptr) {
    DVCRCatchAndRecordActiveException(type);
  } else {
    DVCRSDKLogWarn("no active exception\n");
  }
  if (original != nullptr) {
    DVCRSDKLogWarn("invoking pre-existing handler\n");
    original();
  }
  DVCRSDKLogWarn("aborting\n");
  std::abort();
}

void DVCRCatchAndRecordActiveException(const std::type_info* exceptionType) {
  if (!isPlausibleAddress(exceptionType)) {
    DVCRSDKLogWarn("Error: invalid parameter\n");
    return;
  }
  const char* mangled = exceptionType->name();
  DVCRSDKLogWarn("Recording exception of type '%s'\n", mangled);
  try {
    throw;
  } catch (const ns::Exception& exception) {
    DVCRExceptionRecordNSException(exception);
  } catch (const char* text) {
    recordCaughtException("const char *", text);
  } catch (const std::string& text) {
    recordCaughtException("std::string", text.c_str());
  } catch (const std::exception& exception) {
    recordCaughtException(DVCRDemangledTypeName(typeid(exception).name()).c_str(), exception.what());
  } catch (const std::exception* exception) {
    // A thrown null pointer has no object to name or ask: its static type
    // and the empty reason.
    if (exception == nullptr) {
      recordCaughtException(DVCRDemangledTypeName(mangled).c_str(), "");
    } else {
      recordCaughtException(DVCRDemangledTypeName(typeid(*exception).name()).c_str(), exception->what());
    }
  } catch (...) {
    recordCaughtException(DVCRDemangledTypeName(mangled).c_str(), "");
  }
}

void DVCRExceptionRecordNSException(const ns::Exception& exception) {
  DVCRSDKLogWarn("Recording an NSException\n");
  std::vector<ZOVStackFrame> frames;
  for (uintptr_t address : exception.callStackReturnAddresses()) {
    frames.push_back(ZOVStackFrame::stackFrameWithAddress(address));
  }
  DVCRExceptionRecord(kDVCRExceptionKindObjectiveC, exception.name().c_str(), exception.reason().c_str(), frames);
}

void DVCRExceptionRecord(uint32_t kind, const char* name, const char* reason, const std::vector<ZOVStackFrame>& frames) {
  if (!DVCRContextIsReady()) return;
  DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  DVCRWritableContext* writable = DVCRContextWritable();
  bool fatal = isFatalKind(kind);
  DVCRSDKLogWarn("Recording an exception structure (%d)\n", fatal ? 1 : 0);
  if (fatal) {
    auto record = [&] { recordFatal(readonly, kind, name, reason, frames); };
    // An exception escaping a block of the exception queue itself would
    // deadlock on a sync onto it.
    if (dvcrContext.exceptionQueue && !dvcrContext.exceptionQueue->isCurrent()) {
      dvcrContext.exceptionQueue->sync(record);
    } else {
      record();
    }
  } else {
    DVCRUserLoggingWriteAndCheckABFiles(&readonly->logging.customExceptionStorage,
                                        &writable->logging.activeCustomExceptionPath,
                                        [&](DVCRFile* file) { DVCRExceptionWrite(file, kind, name, reason, frames); });
  }
  DVCRSDKLogWarn("Finished recording an exception structure\n");
}

void DVCRExceptionRecordModel(const ZOVExceptionModel& exceptionModel) {
  std::string name = exceptionModel.name();
  std::string reason = exceptionModel.reason();
  std::vector<ZOVStackFrame> frames = exceptionModel.stackTrace();
  DVCRExceptionRecord(kDVCRExceptionKindCustom, name.c_str(), reason.c_str(), frames);
}

void DVCRExceptionWrite(DVCRFile* file, uint32_t kind, const char* name, const char* reason,
                        const std::vector<ZOVStackFrame>& frames) {
  DVCRFileWriteSectionStart(file, "exception");
  DVCRFileWriteHashStart(file);
  DVCRFileWriteHashEntryString(file, "type", kindName(kind));
  DVCRFileWriteHashEntryHexEncodedString(file, "name", name);
  DVCRFileWriteHashEntryHexEncodedString(file, "reason", reason != nullptr ? reason : "");
  DVCRFileWriteHashEntryUint64(file, "time", static_cast<uint64_t>(::time(nullptr)));
  if (!frames.empty()) {
    DVCRFileWriteHashKey(file, "frames");
    DVCRFileWriteArrayStart(file);
    for (const ZOVStackFrame& frame : frames) writeFrame(file, frame);
    DVCRFileWriteArrayEnd(file);
  }
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteSectionEnd(file);
}

namespace {

void writeOnDemandCount(DVCRFile* file, const char* key, uint32_t count) {
  DVCRFileWriteSectionStart(file, "kv");
  DVCRFileWriteHashStart(file);
  DVCRFileWriteHashEntryHexEncodedString(file, "key", key);
  DVCRFileWriteHashEntryHexEncodedString(file, "value", std::to_string(count).c_str());
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteSectionEnd(file);
}

}  // namespace

std::optional<std::string> DVCRExceptionRecordOnDemand(uint32_t kind, const char* name, const char* reason,
                                                       const std::vector<ZOVStackFrame>& frames, bool fatal,
                                                       uint32_t recordedCount, uint32_t droppedCount) {
  if (!DVCRContextIsReady()) return std::nullopt;
  DVCRSDKLogWarn("Recording an exception structure on demand\n");
  DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  const std::string folder = DVCRFileManager().activePath() + "/" + DVCRExecutionIdentifierModel().executionID();
  if (readonly->reportPath == nullptr || !ns::FileManager::defaultManager().copyItem(readonly->reportPath, folder)) {
    DVCRSDKLogWarn("Unable to create a new report to record on-demand exeption.\n");
    return std::nullopt;
  }
  DVCRABStorage& customExceptions = readonly->logging.customExceptionStorage;
  DVCRUnlinkIfExists(customExceptions.aPath);
  DVCRUnlinkIfExists(customExceptions.bPath);
  if (customExceptions.entryCount != nullptr) *customExceptions.entryCount = 0;

  DVCRFile keys;
  if (!DVCRFileInitWithPath(&keys, (folder + "/" + kDVCRInternalIncrementalKVFile).c_str(), true)) {
    DVCRSDKLogError("Unable to open k-v file\n");
    return std::nullopt;
  }
  writeOnDemandCount(&keys, "com.dodevadarud.on-demand.recorded-exceptions", recordedCount);
  writeOnDemandCount(&keys, "com.dodevadarud.on-demand.dropped-exceptions", droppedCount);
  DVCRFileClose(&keys);

  const char* recordFile = kDVCRCustomExceptionAFile;
  if (fatal) {
    if (!DVCRFileManager().createFileAtPath(folder + "/" + kDVCRCustomFatalFile, ns::Data())) {
      DVCRSDKLogWarn(
          "Unable to create custom exception file. On demand exception will not be logged with analytics.\n");
    }
    recordFile = kDVCRExceptionFile;
  }
  DVCRFile file;
  if (!DVCRFileInitWithPath(&file, (folder + "/" + recordFile).c_str(), true)) {
    DVCRSDKLogWarn("Unable to open log file for on demand custom exception\n");
    return std::nullopt;
  }
  DVCRExceptionWrite(&file, kind, name, reason, frames);
  DVCRHandler(&file, mach::currentThread(), nullptr, fatal);
  DVCRFileClose(&file);
  DVCRSDKLogWarn("Finished recording on demand exception structure\n");
  return folder;
}

std::optional<std::string> DVCRExceptionRecordOnDemandModel(const ZOVExceptionModel& exceptionModel,
                                                            uint32_t recordedCount, uint32_t droppedCount) {
  std::vector<ZOVStackFrame> frames = exceptionModel.stackTrace();
  return DVCRExceptionRecordOnDemand(kDVCRExceptionKindCustom, exceptionModel.name().c_str(),
                                     exceptionModel.reason().c_str(), frames, exceptionModel.isFatal(),
                                     recordedCount, droppedCount);
}

void DVCRExceptionCheckHandlers() {
  const DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  if (isPlausibleAddress(readonly) && readonly->debuggerAttached) return;
  std::terminate_handler current = std::get_terminate();
  if (current == DVCRTerminateHandler) return;
  DVCRDladdrInfo(reinterpret_cast<const void*>(current), [](const char* symbol, const char* image) {
    DVCRLogWarningMessage("Warning: std::get_terminate is '%s' in '%s'", symbol != nullptr ? symbol : "unknown",
                          image != nullptr ? image : "unknown");
  });
}

std::string DVCRDemangledTypeName(const char* mangledName) {
  if (mangledName == nullptr) return "";
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangledName, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled != nullptr ? demangled : mangledName;
  std::free(demangled);
  return name;
}
