#include "Libraries/CrashReporter/DVCRSignal.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRProcess.h"
#include "Libraries/CrashReporter/DVCRUtilities.h"
#include "Platform/Mach/Threads.h"

const int kDVCRSignals[kDVCRSignalCount] = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS, SIGTRAP};

namespace {

bool isPlausibleAddress(const void* address) { return reinterpret_cast<uintptr_t>(address) >= 4096; }

// strerror may allocate (for its locale); this one returns a constant.
const char* errorText(int error) {
  const char* text = strerrordesc_np(error);
  return text != nullptr ? text : "Unknown error";
}

bool isSavedAction(const struct sigaction& action) { return action.sa_handler != SIG_DFL; }

bool currentActionIsDefault(int signal) {
  struct sigaction current{};
  return ::sigaction(signal, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
         current.sa_handler == SIG_DFL;
}

// The previous action as what it was installed as. The default action and
// "ignore" are not functions: putting them back is all there is to do.
void callPreviousAction(const struct sigaction& action, int signal, siginfo_t* info, void* userContext) {
  if ((action.sa_flags & SA_SIGINFO) != 0) {
    if (action.sa_sigaction != nullptr) action.sa_sigaction(signal, info, userContext);
    return;
  }
  if (action.sa_handler == SIG_DFL || action.sa_handler == SIG_IGN) return;
  action.sa_handler(signal);
}

void writeSignalSection(DVCRFile* file, int signal, const siginfo_t* info, int savedErrno) {
  DVCRFileWriteSectionStart(file, "signal");
  DVCRFileWriteHashStart(file);
  if (info != nullptr) {
    const char* name = nullptr;
    const char* codeName = nullptr;
    DVCRSignalNameLookup(info->si_signo, info->si_code, &name, &codeName);
    DVCRFileWriteHashEntryUint64(file, "number", static_cast<uint32_t>(info->si_signo));
    // Signed: a signal sent by abort() or kill() has a negative code.
    DVCRFileWriteHashEntryInt64(file, "code", info->si_code);
    DVCRFileWriteHashEntryUint64(file, "address", reinterpret_cast<uintptr_t>(info->si_addr));
    DVCRFileWriteHashEntryString(file, "name", name);
    DVCRFileWriteHashEntryString(file, "code_name", codeName);
  }
  (void)signal;
  DVCRFileWriteHashEntryUint64(file, "errno", static_cast<uint32_t>(savedErrno));
  DVCRFileWriteHashEntryUint64(file, "time", static_cast<uint64_t>(::time(nullptr)));
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteSectionEnd(file);
}

void recordSignal(const DVCRReadOnlyContext* readonly, int signal, siginfo_t* info, void* userContext,
                  int savedErrno) {
  DVCRFile file;
  if (!DVCRFileInitWithPathMode(&file, readonly->signal.path, false, false)) {
    DVCRSDKLogWarn("Unable to open signal file\n");
    return;
  }
  writeSignalSection(&file, signal, info, savedErrno);
  DVCRHandler(&file, mach::currentThread(), static_cast<const ucontext_t*>(userContext));
  DVCRFileClose(&file);
}

}  // namespace

void DVCRSignalInitialize(DVCRSignalReadOnlyContext* signalPart) {
  if (!DVCRUnlinkIfExists(signalPart->path)) {
    DVCRSDKLogWarn("Unable to reset the signal log file %s\n", errorText(errno));
  }
  DVCRSignalInstallHandlers(signalPart);
}

bool DVCRSignalInstallAltStack(DVCRSignalReadOnlyContext* signalPart, void* stack) {
  stack_t signalStack{};
  signalStack.ss_sp = stack;
  signalStack.ss_size = kDVCRCrashStackSize;
  signalStack.ss_flags = 0;
  if (::sigaltstack(&signalStack, &signalPart->originalStack) != 0) {
    DVCRSDKLogWarn("Unable to setup stack %s\n", errorText(errno));
    return false;
  }
  return true;
}

void DVCRSignalInstallHandlers(DVCRSignalReadOnlyContext* signalPart) {
  for (int i = 0; i < kDVCRSignalCount; ++i) {
    struct sigaction action{};
    sigemptyset(&action.sa_mask);
    action.sa_sigaction = DVCRSignalHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    struct sigaction previous{};
    if (::sigaction(kDVCRSignals[i], &action, &previous) != 0) {
      DVCRSDKLogWarn("Unable to install handler for %d (%s)\n", kDVCRSignals[i], errorText(errno));
    }
    signalPart->originalActions[i] = {};
    if (isSavedAction(previous)) signalPart->originalActions[i] = previous;
  }
}

void DVCRSignalHandler(int signal, siginfo_t* info, void* userContext) {
  int savedErrno = errno;
  errno = 0;
  DVCRSDKLogWarn("Signal: %d\n", signal);
  DVCRSignalSafeRemoveHandlers(true);
  sigset_t none;
  sigemptyset(&none);
  if (::sigprocmask(SIG_SETMASK, &none, nullptr) != 0) {
    DVCRSDKLogWarn("Unable to unmask signals - we risk infinite recursion here\n");
  }
  if (!isPlausibleAddress(info)) info = nullptr;
  if (!isPlausibleAddress(userContext)) userContext = nullptr;

  const DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  if (isPlausibleAddress(readonly)) {
    if (DVCRContextMarkCrashed()) {
      DVCRSDKLogWarn("Error: aborting signal handler because crash has already occurred\n");
      ::_exit(1);
    }
    recordSignal(readonly, signal, info, userContext, savedErrno);
    DVCRSignalSafeInstallPreexistingHandlers(&readonly->signal, signal, info, userContext);
  }
  // Nothing may run on once a crash was recorded. A signal another process
  // (or kill, raise) sent does not come again when the handler returns, nor
  // does a trap (int3 leaves the PC past itself), and a fault whose cause
  // went away would not either. Raised again under the default action, it
  // ends the process the ordinary way, whatever its code says.
  if (currentActionIsDefault(signal)) ::raise(signal);
  errno = savedErrno;
}

void DVCRSignalSafeRemoveHandlers(bool includingAbort) {
  for (int signal : kDVCRSignals) {
    if (signal == SIGABRT && !includingAbort) continue;
    struct sigaction action{};
    sigemptyset(&action.sa_mask);
    action.sa_handler = SIG_DFL;
    if (::sigaction(signal, &action, nullptr) != 0) {
      DVCRSDKLogWarn("Unable to set default handler for %d (%s)\n", signal, errorText(errno));
    }
  }
}

bool DVCRSignalSafeInstallPreexistingHandlers(const DVCRSignalReadOnlyContext* signalPart, int signal,
                                              siginfo_t* info, void* userContext) {
  DVCRSignalSafeRemoveHandlers(true);
  if (signalPart->originalStack.ss_sp != nullptr) {
    // The kernel refuses to change the stack a handler is running on; the
    // thread keeps it until the handler returns, which is all it needs.
    stack_t current{};
    bool onAltStack = ::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_ONSTACK) != 0;
    if (!onAltStack && ::sigaltstack(&signalPart->originalStack, nullptr) != 0) {
      DVCRSDKLogWarn("Unable to setup stack %s\n", errorText(errno));
      return false;
    }
  }
  bool allInstalled = true;
  for (int i = 0; i < kDVCRSignalCount; ++i) {
    const struct sigaction& saved = signalPart->originalActions[i];
    if (!isSavedAction(saved)) continue;
    if (::sigaction(kDVCRSignals[i], &saved, nullptr) != 0) {
      DVCRSDKLogWarn("Unable to install handler for %d (%s)\n", kDVCRSignals[i], errorText(errno));
      allInstalled = false;
    }
    if (signal >= 0 && signal == kDVCRSignals[i]) callPreviousAction(saved, signal, info, userContext);
  }
  return allInstalled;
}

void DVCRSignalCheckHandlers() {
  const DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  if (isPlausibleAddress(readonly) && readonly->debuggerAttached) return;
  for (int signal : kDVCRSignals) {
    struct sigaction current{};
    if (::sigaction(signal, nullptr, &current) != 0) {
      std::fputs("Unable to read signal handler\n", stderr);
      continue;
    }
    const void* function = (current.sa_flags & SA_SIGINFO) != 0 ? reinterpret_cast<void*>(current.sa_sigaction)
                                                                  : reinterpret_cast<void*>(current.sa_handler);
    if (function == reinterpret_cast<void*>(DVCRSignalHandler)) continue;
    const char* name = nullptr;
    const char* codeName = nullptr;
    DVCRSignalNameLookup(signal, 0, &name, &codeName);
    DVCRDladdrInfo(function, [&](const char* symbol, const char*) {
      std::fprintf(stderr,
                   "[Dodevadarud] The signal %s has a non-Dodevadarud handler (%s).  This will interfere with "
                   "reporting.\n",
                   name, symbol != nullptr ? symbol : "(null)");
    });
  }
}

void DVCRSignalNameLookup(int signal, int code, const char** name, const char** codeName) {
  (void)code;
  if (name == nullptr || codeName == nullptr) return;
  *codeName = nullptr;
  switch (signal) {
    case SIGILL: *name = "SIGILL"; break;
    case SIGTRAP: *name = "SIGTRAP"; break;
    case SIGABRT:
      *name = "SIGABRT";
      *codeName = "ABORT";
      break;
    case SIGFPE: *name = "SIGFPE"; break;
    case SIGBUS: *name = "SIGBUS"; break;
    case SIGSEGV: *name = "SIGSEGV"; break;
    case SIGSYS: *name = "SIGSYS"; break;
    default: *name = "UNKNOWN"; break;
  }
}
