// The fatal-signal catcher: SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS
// and SIGTRAP, in that order (the order of the saved previous actions).
//
// On a fatal signal the handler, once per process (DVCRContextMarkCrashed;
// a second crash ends the process with _exit(1)), writes "signal.dvrecord":
//   {"signal":{"number":11,"code":1,"address":0,"name":"SIGSEGV",
//              "code_name":null,"errno":0,"time":1700000000}}
// ("number", "code", "address", "name" and "code_name" only when the kernel
// gave the signal's details; "code" is signed: abort() sends -6, SI_TKILL),
// then the common crash handler's sections (DVCRProcess.h). Then it puts the
// previous actions back and hands the signal to the previous handler, so the
// faulting instruction, or abort()'s second raise, ends the process the
// ordinary way. A signal sent with kill() or raise() is not sent again: the
// sender decides what follows.
//
// The previous handler is called as what it was installed as: with the
// three arguments when it asked for them (SA_SIGINFO), with the signal
// alone otherwise; the default action and "ignore" are actions, not
// functions, and are only put back.
//
// Alternate stacks are per thread: DVCRSignalInstallAltStack puts the
// context's 256 KiB stack on the calling thread (set-up runs it on the
// thread that sets the context up, the main thread at launch); the dispatch
// workers have stacks of their own. An overflow on any other thread kills
// it unrecorded.
//
// The handler uses only the crash context, its stack and raw system calls.
#pragma once

#include <signal.h>

#include <cstdint>

#include "Libraries/CrashReporter/DVCRContext.h"

// The handled signals, in their order.
extern const int kDVCRSignals[kDVCRSignalCount];

// Removes a stale signal file and installs the handlers (the alternate
// stack is separate, above).
void DVCRSignalInitialize(DVCRSignalReadOnlyContext* signalPart);
// The context's signal stack on this thread; the previous one kept in
// `originalStack`. False (logged) when it cannot be installed.
bool DVCRSignalInstallAltStack(DVCRSignalReadOnlyContext* signalPart, void* stack);
void DVCRSignalInstallHandlers(DVCRSignalReadOnlyContext* signalPart);

void DVCRSignalHandler(int signal, siginfo_t* info, void* userContext);

// Every handled signal back to the default action (SIGABRT only when
// `includingAbort`).
void DVCRSignalSafeRemoveHandlers(bool includingAbort);
// Puts the saved actions back and, when `signal` is one of them, hands it to
// the saved handler. False when an action or the stack could not be put
// back. The exception server passes -1: nothing is called.
bool DVCRSignalSafeInstallPreexistingHandlers(const DVCRSignalReadOnlyContext* signalPart, int signal,
                                              siginfo_t* info, void* userContext);

// Start-up diagnostic: for each handled signal whose action is not ours
// writes to standard error
//   [Dodevadarud] The signal SIGSEGV has a non-Dodevadarud handler (name).  This will interfere with reporting.
// Skipped under a debugger.
void DVCRSignalCheckHandlers();

// "SIGSEGV" and so on, "UNKNOWN" for another number; code name "ABORT" for
// SIGABRT, none for the others. Does nothing unless both outputs are given.
void DVCRSignalNameLookup(int signal, int code, const char** name, const char** codeName);
