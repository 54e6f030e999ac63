#include "Libraries/CrashReporter/DVCRMachException.h"

#include <errno.h>
#include <pthread.h>
#include <string.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <system_error>
#include <thread>

#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRProcess.h"
#include "Libraries/CrashReporter/DVCRSignal.h"
#include "Libraries/CrashReporter/DVCRUtilities.h"
#include "Platform/Dispatch/Thread.h"

namespace {

const char* errorText(int error) {
  const char* text = strerrordesc_np(error);
  return text != nullptr ? text : "Unknown error";
}

void recordSection(DVCRFile* file, const DVCRMachExceptionReadOnlyContext* machPart,
                   const mach::ExceptionRequest* request) {
  uint32_t codeCount = request->codeCount < 2 ? request->codeCount : 2;
  const char* name = nullptr;
  const char* codeName = nullptr;
  DVCRMachExceptionNameLookup(request->exception, codeCount > 0 ? request->code[0] : 0, &name, &codeName);
  DVCRFileWriteSectionStart(file, "mach_exception");
  DVCRFileWriteHashStart(file);
  DVCRFileWriteHashEntryUint64(file, "exception", static_cast<uint32_t>(request->exception));
  DVCRFileWriteHashKey(file, "codes");
  DVCRFileWriteArrayStart(file);
  for (uint32_t i = 0; i < codeCount; ++i) DVCRFileWriteArrayEntryUint64(file, static_cast<uint64_t>(request->code[i]));
  DVCRFileWriteArrayEnd(file);
  DVCRFileWriteHashEntryString(file, "name", name);
  DVCRFileWriteHashEntryString(file, "code_name", codeName);
  DVCRFileWriteHashEntryUint64(file, "original_ports", machPart->originalPorts.count);
  DVCRFileWriteHashEntryUint64(file, "time", static_cast<uint64_t>(::time(nullptr)));
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteSectionEnd(file);
}

}  // namespace

void DVCRMachExceptionInit(DVCRMachExceptionReadOnlyContext* machPart) {
  if (!DVCRUnlinkIfExists(machPart->path)) {
    DVCRSDKLogWarn("Unable to reset the mach exception file %s\n", errorText(errno));
  }
  if (!DVCRMachExceptionRegister(machPart)) {
    DVCRSDKLogWarn("Unable to register mach exception handler\n");
    return;
  }
  if (!DVCRMachExceptionThreadStart(machPart)) {
    DVCRSDKLogWarn("Unable to start thread\n");
    DVCRMachExceptionUnregister(&machPart->originalPorts, machPart->mask);
  }
}

bool DVCRMachExceptionRegister(DVCRMachExceptionReadOnlyContext* machPart) {
  mach::KernReturn result = mach::portAllocate(&machPart->port);
  if (result != mach::kKernSuccess) {
    DVCRSDKLogWarn("Error: mach_port_allocate failed %d\n", result);
    return false;
  }
  result = mach::portInsertSendRight(machPart->port);
  if (result != mach::kKernSuccess) {
    DVCRSDKLogWarn("Error: mach_port_insert_right failed %d\n", result);
    mach::portDeallocate(machPart->port);
    machPart->port = mach::kPortNull;
    return false;
  }
  machPart->mask = kDVCRMachExceptionMask;
  DVCRMachExceptionOriginalPorts& original = machPart->originalPorts;
  result = mach::taskSwapExceptionPorts(mach::taskSelf(), machPart->mask, machPart->port,
                                        mach::kExceptionBehaviorDefault | mach::kExceptionCodes64,
                                        mach::kThreadStateNone, original.masks, &original.count, original.ports,
                                        original.behaviors, original.flavors);
  if (result != mach::kKernSuccess) {
    DVCRSDKLogWarn("Error: task_swap_exception_ports %d\n", result);
    return false;
  }
  for (uint32_t i = 0; i < original.count; ++i) {
    DVCRSDKLogWarn("original 0x%x 0x%x 0x%x 0x%x\n", original.ports[i], original.masks[i],
                   static_cast<uint32_t>(original.behaviors[i]), static_cast<uint32_t>(original.flavors[i]));
  }
  return true;
}

bool DVCRMachExceptionThreadStart(DVCRMachExceptionReadOnlyContext* machPart) {
  // Started as every thread of ours is, with an alternate signal stack, so
  // that an overflow of the server's own stack is still recorded.
  try {
    std::thread server = dispatch::startThread([machPart] { DVCRMachExceptionServer(machPart); });
    machPart->thread = server.native_handle();
    server.detach();
  } catch (const std::system_error& error) {
    DVCRSDKLogWarn("pthread_create %d\n", error.code().value());
    return false;
  }
  return true;
}

bool DVCRMachExceptionUnregister(const DVCRMachExceptionOriginalPorts* originalPorts, uint32_t mask) {
  for (uint32_t i = 0; i < originalPorts->count; ++i) {
    mach::KernReturn result = mach::taskSetExceptionPorts(mach::taskSelf(), originalPorts->masks[i],
                                                          originalPorts->ports[i], originalPorts->behaviors[i],
                                                          originalPorts->flavors[i]);
    if (result != mach::kKernSuccess) DVCRSDKLogWarn("unable to restore original port: %d\n", result);
    mask &= ~originalPorts->masks[i];
  }
  mach::KernReturn result = mach::taskSetExceptionPorts(mach::taskSelf(), mask, mach::kPortNull,
                                                        mach::kExceptionBehaviorDefault | mach::kExceptionCodes64,
                                                        mach::kThreadStateNone);
  if (result != mach::kKernSuccess) {
    DVCRSDKLogWarn("unable to unset unregistered mask: 0x%x\n", mask);
    return false;
  }
  return true;
}

void* DVCRMachExceptionServer(void* argument) {
  const auto* machPart = static_cast<const DVCRMachExceptionReadOnlyContext*>(argument);
  ::pthread_setname_np(::pthread_self(), kDVCRMachExceptionServerThreadName);
  for (;;) {
    mach::ExceptionRequest request;
    mach::KernReturn result = DVCRMachExceptionReadMessage(machPart, &request);
    if (result != mach::kKernSuccess) {
      DVCRSDKLogWarn("Error receving mach_msg (%d)\n", result);
      break;
    }
    DVCRSDKLogWarn("Accepted mach exception message\n");
    DVCRSDKLogWarn("Mach exception: 0x%x, count: %d, code: 0x%llx 0x%llx\n", static_cast<uint32_t>(request.exception),
                   request.codeCount,
                   static_cast<unsigned long long>(request.codeCount > 0 ? request.code[0] : -1),
                   static_cast<unsigned long long>(request.codeCount > 1 ? request.code[1] : -1));
    mach::KernReturn returnCode = DVCRMachExceptionDispatchMessage(machPart, &request);
    DVCRSDKLogWarn("Sending exception reply\n");
    result = DVCRMachExceptionReply(&request, returnCode);
    if (result != mach::kKernSuccess) {
      DVCRSDKLogWarn("mach_msg reply failed (%d)\n", result);
      break;
    }
    DVCRSDKLogWarn("Exception reply delivered\n");
  }
  DVCRSDKLogWarn("Mach exception server thread exiting\n");
  return nullptr;
}

mach::KernReturn DVCRMachExceptionReadMessage(const DVCRMachExceptionReadOnlyContext* machPart,
                                              mach::ExceptionRequest* request) {
  std::memset(request, 0, sizeof(*request));
  return mach::messageReceive(machPart->port, request, sizeof(*request));
}

mach::KernReturn DVCRMachExceptionDispatchMessage(const DVCRMachExceptionReadOnlyContext* machPart,
                                                  const mach::ExceptionRequest* request) {
  if (request->task.name != mach::taskSelf()) {
    DVCRSDKLogWarn("Mach exception task mis-match, returning failure\n");
    return mach::kKernFailure;
  }
  DVCRSDKLogWarn("Unregistering handler\n");
  if (!DVCRMachExceptionUnregister(&machPart->originalPorts, machPart->mask)) {
    DVCRSDKLogWarn("Failed to unregister\n");
    return mach::kKernFailure;
  }
  DVCRSDKLogWarn("Restoring original signal handlers\n");
  const DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  if (readonly == nullptr || !DVCRSignalSafeInstallPreexistingHandlers(&readonly->signal, -1, nullptr, nullptr)) {
    DVCRSDKLogWarn("Failed to restore signal handlers\n");
    return mach::kKernFailure;
  }
  DVCRSDKLogWarn("Recording mach exception\n");
  if (!DVCRMachExceptionRecord(machPart, request)) {
    DVCRSDKLogWarn("Failed to record mach exception\n");
    return mach::kKernFailure;
  }
  return mach::kKernSuccess;
}

bool DVCRMachExceptionRecord(const DVCRMachExceptionReadOnlyContext* machPart, const mach::ExceptionRequest* request) {
  if (DVCRContextMarkCrashed()) {
    DVCRSDKLogWarn("Error: aborting mach exception handler because crash has already occurred\n");
    ::_exit(1);
  }
  DVCRFile file;
  if (!DVCRFileInitWithPathMode(&file, machPart->path, false, false)) {
    DVCRSDKLogWarn("Unable to open mach exception file\n");
    return false;
  }
  recordSection(&file, machPart, request);
  DVCRHandler(&file, static_cast<mach::ThreadId>(request->thread.name), nullptr);
  DVCRFileClose(&file);
  return true;
}

mach::KernReturn DVCRMachExceptionReply(const mach::ExceptionRequest* request, mach::KernReturn returnCode) {
  mach::ExceptionReply reply{};
  reply.header.bits = request->header.bits & 0x1f;
  reply.header.size = sizeof(reply);
  reply.header.remotePort = request->header.remotePort;
  reply.header.localPort = mach::kPortNull;
  reply.header.id = request->header.id + 100;
  reply.ndr = mach::ndrRecord();
  reply.returnCode = returnCode;
  return mach::messageSend(&reply.header);
}

void DVCRMachExceptionNameLookup(int32_t exception, int64_t code, const char** name, const char** codeName) {
  if (name == nullptr || codeName == nullptr) return;
  *name = nullptr;
  *codeName = nullptr;
  switch (exception) {
    case mach::kExceptionBadAccess:
      *name = "EXC_BAD_ACCESS";
      if (code == 1) *codeName = "KERN_INVALID_ADDRESS";
      if (code == 2) *codeName = "KERN_PROTECTION_FAILURE";
      break;
    case mach::kExceptionBadInstruction: *name = "EXC_BAD_INSTRUCTION"; break;
    case mach::kExceptionArithmetic: *name = "EXC_ARITHMETIC"; break;
    case mach::kExceptionBreakpoint: *name = "EXC_BREAKPOINT"; break;
    case mach::kExceptionGuard: *name = "EXC_GUARD"; break;
    default: break;
  }
}

void DVCRMachExceptionCheckHandlers() {
  const DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  if (readonly != nullptr && readonly->debuggerAttached) return;
}
