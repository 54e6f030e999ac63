#include "Libraries/CrashReporter/DVCRException.h"

#include <cxxabi.h>
#include <errno.h>
#include <string.h>

#include <cstdlib>
#include <ctime>
#include <exception>

#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRProcess.h"
#include "Libraries/CrashReporter/DVCRUserLogging.h"
#include "Libraries/CrashReporter/DVCRUtilities.h"
#include "Platform/Dispatch/Queue.h"
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
    DVCRSDKLogWarn("Unable to open exception file");
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
    DVCRSDKLogWarn("Unable to reset the exception file %s", strerror(errno));
  }
  exceptionPart->originalTerminateHandler = std::set_terminate(DVCRTerminateHandler);
  if (customExceptionCount != nullptr) *customExceptionCount = 0;
}

void DVCRTerminateHandler() {
  DVCRSDKLogWarn("C++ terminate handler invoked");
  const DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  std::terminate_handler original = isPlausibleAddress(readonly) ? readonly->exception.originalTerminateHandler : nullptr;
  if (original == DVCRTerminateHandler) {
    DVCRSDKLogWarn("Error: original handler was set recursively");
    original = nullptr;
  }
  if (original != nullptr) {
    DVCRSDKLogWarn("restoring pre-existing handler");
    if (std::set_terminate(original) == original) {
      DVCRSDKLogWarn("handler has already been restored, aborting");
      std::abort();
    }
  }
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (type != nullptr) {
    DVCRCatchAndRecordActiveException(type);
  } else {
    DVCRSDKLogWarn("no active exception");
  }
  if (original != nullptr) {
    DVCRSDKLogWarn("invoking pre-existing handler");
    original();
  }
  DVCRSDKLogWarn("aborting");
  std::abort();
}

void DVCRCatchAndRecordActiveException(const std::type_info* exceptionType) {
  if (!isPlausibleAddress(exceptionType)) {
    DVCRSDKLogWarn("Error: invalid parameter");
    return;
  }
  const char* mangled = exceptionType->name();
  DVCRSDKLogWarn("Recording exception of type '%s'", mangled);
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
    recordCaughtException(DVCRDemangledTypeName(typeid(*exception).name()).c_str(), exception->what());
  } catch (...) {
    recordCaughtException(DVCRDemangledTypeName(mangled).c_str(), "");
  }
}

void DVCRExceptionRecordNSException(const ns::Exception& exception) {
  DVCRSDKLogWarn("Recording an NSException");
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
  DVCRSDKLogWarn("Recording an exception structure (%d)", fatal ? 1 : 0);
  if (fatal) {
    auto record = [&] { recordFatal(readonly, kind, name, reason, frames); };
    if (dvcrContext.exceptionQueue) {
      dvcrContext.exceptionQueue->sync(record);
    } else {
      record();
    }
  } else {
    DVCRUserLoggingWriteAndCheckABFiles(&readonly->logging.customExceptionStorage,
                                        &writable->logging.activeCustomExceptionPath,
                                        [&](DVCRFile* file) { DVCRExceptionWrite(file, kind, name, reason, frames); });
  }
  DVCRSDKLogWarn("Finished recording an exception structure");
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

void DVCRExceptionCheckHandlers() {
  const DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  if (isPlausibleAddress(readonly) && readonly->debuggerAttached) return;
  std::terminate_handler current = std::get_terminate();
  if (current == DVCRTerminateHandler) return;
  DVCRDladdrInfo(reinterpret_cast<const void*>(current), [](const char* symbol, const char* image) {
    DVCRLogWarningMessage("Warning: std::get_terminate is '%s' in '%s'", symbol != nullptr ? symbol : "(null)",
                          image != nullptr ? image : "(null)");
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
