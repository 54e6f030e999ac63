// Exception ports: where the kernel of the phone sends a task's exception
// messages, and the messages themselves. Here a port is a pipe (its read end
// is the receive right, its write end the send right) named by a small
// number, and the task's exception-port table is process memory. The kernel
// of this host never sends exception messages: faults arrive as signals. So
// only code that builds a request itself (the tests) ever sends one; the
// server that receives them works exactly as it would if the kernel did.
//
// Sending applies what the kernel does on the way: the message goes to the
// header's remote port, and the receiver sees the sender's local (reply)
// port as its remote port and its own port as the local one, with the two
// port-right fields of `bits` swapped likewise.
//
// A task is named by its process id, a thread by its kernel thread id.
// receive and send are async-signal-safe and allocate nothing; allocating
// and deallocating ports and changing the table are for set-up and for an
// exception server that gives its registration back.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace mach {

using Port = uint32_t;
using KernReturn = int32_t;

inline constexpr Port kPortNull = 0;
inline constexpr KernReturn kKernSuccess = 0;
inline constexpr KernReturn kKernInvalidArgument = 4;
inline constexpr KernReturn kKernFailure = 5;
inline constexpr KernReturn kKernResourceShortage = 6;
inline constexpr KernReturn kKernInvalidName = 15;
inline constexpr KernReturn kSendInvalidDest = 0x10000003;
inline constexpr KernReturn kReceiveInvalidName = 0x10004002;
inline constexpr KernReturn kReceiveTooLarge = 0x10004004;
inline constexpr KernReturn kReceivePortDied = 0x10004009;

// Exception types and their mask bits (1 << type).
inline constexpr int32_t kExceptionBadAccess = 1;
inline constexpr int32_t kExceptionBadInstruction = 2;
inline constexpr int32_t kExceptionArithmetic = 3;
inline constexpr int32_t kExceptionBreakpoint = 6;
inline constexpr int32_t kExceptionGuard = 12;
inline constexpr uint32_t kExceptionTypeCount = 14;  // types 1 to 13, and room for the list of entries

inline constexpr int32_t kExceptionBehaviorDefault = 1;
inline constexpr int32_t kExceptionCodes64 = static_cast<int32_t>(0x80000000u);
inline constexpr int32_t kThreadStateNone = 13;

// Port-right kinds in a header's `bits`: the remote one in the low 5 bits,
// the local one in the next 8.
inline constexpr uint32_t kMessageTypeMoveSendOnce = 18;
inline constexpr uint32_t kMessageTypeMakeSendOnce = 21;
inline constexpr uint32_t kMessageBitsComplex = 0x80000000u;
inline constexpr int32_t kExceptionRaiseRequestId = 2405;  // the 64-bit-code default request

#pragma pack(push, 4)
struct MessageHeader {
  uint32_t bits;
  uint32_t size;  // of the whole message
  Port remotePort;
  Port localPort;
  Port voucherPort;
  int32_t id;
};

struct PortDescriptor {
  Port name;
  uint32_t pad;
  uint32_t dispositionAndType;
};

struct NDRRecord {
  uint8_t bytes[8];
};

// The request the exception server receives (92 bytes).
struct ExceptionRequest {
  MessageHeader header;
  uint32_t descriptorCount;
  PortDescriptor thread;  // name: the thread id
  PortDescriptor task;    // name: the process id
  NDRRecord ndr;
  int32_t exception;
  uint32_t codeCount;
  int64_t code[2];
  uint8_t trailer[8];
};

// Its reply (36 bytes).
struct ExceptionReply {
  MessageHeader header;
  NDRRecord ndr;
  KernReturn returnCode;
};
#pragma pack(pop)

static_assert(sizeof(MessageHeader) == 24);
static_assert(sizeof(ExceptionRequest) == 92);
static_assert(sizeof(ExceptionReply) == 36);

// The record every message of this host carries.
NDRRecord ndrRecord();

// This task's name (its process id).
Port taskSelf();

// A new port with its receive right; kKernResourceShortage when no pipe or
// name is left.
KernReturn portAllocate(Port* port);
// Adds a send right to a port whose receive right the caller holds.
KernReturn portInsertSendRight(Port port);
// Destroys the port: a receive blocked on it ends with kReceivePortDied.
KernReturn portDeallocate(Port port);

// Sends `header->size` bytes (at most the pipe's atomic size) to
// `header->remotePort`; kSendInvalidDest when that port has no send right.
KernReturn messageSend(const MessageHeader* header);
// Blocks until a message arrives on `port` and copies it into `buffer`. A
// message larger than `size` is consumed and answered with
// kReceiveTooLarge.
KernReturn messageReceive(Port port, void* buffer, size_t size);

// The task's exception ports. `task` must be taskSelf(). A mask bit outside
// types 1 to 13 is refused with kKernInvalidArgument.
KernReturn taskSetExceptionPorts(Port task, uint32_t mask, Port port, int32_t behavior, int32_t flavor);
// Sets the ports for `mask` and hands back the previous entries: one per
// distinct port, behaviour and flavour among the masked types (the empty
// port included), with the mask of the types it served; at most
// kExceptionTypeCount of them, `*count` set to their number.
KernReturn taskSwapExceptionPorts(Port task, uint32_t mask, Port port, int32_t behavior, int32_t flavor,
                                  uint32_t* masks, uint32_t* count, Port* ports, int32_t* behaviors,
                                  int32_t* flavors);
// The port registered for one exception type, with its behaviour and flavour.
KernReturn taskGetExceptionPort(Port task, int32_t exception, Port* port, int32_t* behavior, int32_t* flavor);

}  // namespace mach
