// The exception-port server: a thread of its own, on the context's second
// 256 KiB stack, that receives the task's exception messages for bad
// access, bad instruction, arithmetic, breakpoint and guard exceptions
// (mask 0x104E) on a port registered in place of the task's previous
// exception ports (Platform/Mach/ExceptionPorts.h).
//
// For a message about this task it gives the registration and the signal
// handlers back first (so a fault while recording goes to the previous
// catchers), then, once per process (DVCRContextMarkCrashed; a second crash
// ends the process with _exit(1)), writes "mach_exception.dvrecord":
//   {"mach_exception":{"exception":1,"codes":[1,0],"name":"EXC_BAD_ACCESS",
//                      "code_name":"KERN_INVALID_ADDRESS","original_ports":1,
//                      "time":1700000000}}
// and the common crash handler's sections for the message's thread, and
// answers KERN_SUCCESS. A message about another task, or a step that fails,
// is answered KERN_FAILURE. Every answer carries the request's id + 100.
//
// This host's kernel sends no exception messages (faults arrive as
// signals), so in the app the server waits and never records.
#pragma once

#include <cstdint>

#include "Libraries/CrashReporter/DVCRContext.h"
#include "Platform/Mach/ExceptionPorts.h"

inline constexpr uint32_t kDVCRMachExceptionMask = 0x104E;
// The kernel keeps 15 characters of a thread name: the server's name, cut.
inline constexpr const char* kDVCRMachExceptionServerThreadName = "MachExcServer";

// Removes a stale record file, registers the port and starts the server.
void DVCRMachExceptionInit(DVCRMachExceptionReadOnlyContext* machPart);
bool DVCRMachExceptionRegister(DVCRMachExceptionReadOnlyContext* machPart);
bool DVCRMachExceptionThreadStart(DVCRMachExceptionReadOnlyContext* machPart);
// Puts each saved entry back and sets the task's port for the rest of
// `mask` to none.
bool DVCRMachExceptionUnregister(const DVCRMachExceptionOriginalPorts* originalPorts, uint32_t mask);

// The server thread's body (argument: the Mach part); ends when a receive
// or a reply fails.
void* DVCRMachExceptionServer(void* machPart);
mach::KernReturn DVCRMachExceptionReadMessage(const DVCRMachExceptionReadOnlyContext* machPart,
                                              mach::ExceptionRequest* request);
mach::KernReturn DVCRMachExceptionDispatchMessage(const DVCRMachExceptionReadOnlyContext* machPart,
                                                  const mach::ExceptionRequest* request);
bool DVCRMachExceptionRecord(const DVCRMachExceptionReadOnlyContext* machPart, const mach::ExceptionRequest* request);
mach::KernReturn DVCRMachExceptionReply(const mach::ExceptionRequest* request, mach::KernReturn returnCode);

// "EXC_BAD_ACCESS" (code 1 "KERN_INVALID_ADDRESS", 2
// "KERN_PROTECTION_FAILURE"), "EXC_BAD_INSTRUCTION", "EXC_ARITHMETIC",
// "EXC_BREAKPOINT", "EXC_GUARD"; none for others. Both outputs must be given.
void DVCRMachExceptionNameLookup(int32_t exception, int64_t code, const char** name, const char** codeName);

// The start-up diagnostic: there is nothing to check.
void DVCRMachExceptionCheckHandlers();
