#include "Platform/Mach/ExceptionPorts.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace mach {

namespace {

constexpr uint32_t kPortCapacity = 64;
constexpr Port kFirstPortName = 0x103;  // never 0, as port names are

struct PortSlot {
  std::atomic<bool> used{false};
  std::atomic<int> readFd{-1};
  std::atomic<int> writeFd{-1};
  std::atomic<bool> sendRight{false};
};
PortSlot ports[kPortCapacity];

struct ExceptionEntry {
  Port port = kPortNull;
  int32_t behavior = 0;
  int32_t flavor = 0;
};
// Indexed by exception type; changed by set-up and by an exception server
// giving its registration back, never both at once.
ExceptionEntry exceptionPorts[kExceptionTypeCount];

constexpr uint32_t kValidExceptionMask = ((1u << kExceptionTypeCount) - 1) & ~1u;

PortSlot* slotOf(Port port) {
  if (port < kFirstPortName || port >= kFirstPortName + kPortCapacity) return nullptr;
  PortSlot* slot = &ports[port - kFirstPortName];
  return slot->used.load() ? slot : nullptr;
}

bool readFully(int fd, void* buffer, size_t length) {
  auto* at = static_cast<uint8_t*>(buffer);
  while (length > 0) {
    ssize_t got = ::read(fd, at, length);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    at += got;
    length -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

NDRRecord ndrRecord() { return NDRRecord{{0, 0, 0, 0, 1, 0, 0, 0}}; }  // little-endian integers

Port taskSelf() { return static_cast<Port>(::getpid()); }

KernReturn portAllocate(Port* port) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return kKernResourceShortage;
  for (uint32_t i = 0; i < kPortCapacity; ++i) {
    bool expected = false;
    if (!ports[i].used.compare_exchange_strong(expected, true)) continue;
    ports[i].sendRight = false;
    ports[i].readFd = fds[0];
    ports[i].writeFd = fds[1];
    *port = kFirstPortName + i;
    return kKernSuccess;
  }
  ::close(fds[0]);
  ::close(fds[1]);
  return kKernResourceShortage;
}

KernReturn portInsertSendRight(Port port) {
  PortSlot* slot = slotOf(port);
  if (slot == nullptr) return kKernInvalidName;
  slot->sendRight = true;
  return kKernSuccess;
}

KernReturn portDeallocate(Port port) {
  PortSlot* slot = slotOf(port);
  if (slot == nullptr) return kKernInvalidName;
  slot->sendRight = false;
  // The write end first: a receiver blocked on the read end sees the end of
  // the pipe.
  ::close(slot->writeFd.exchange(-1));
  ::close(slot->readFd.exchange(-1));
  slot->used = false;
  return kKernSuccess;
}

KernReturn messageSend(const MessageHeader* header) {
  if (header == nullptr || header->size < sizeof(MessageHeader) || header->size > PIPE_BUF) return kKernInvalidArgument;
  PortSlot* slot = slotOf(header->remotePort);
  if (slot == nullptr || !slot->sendRight.load()) return kSendInvalidDest;
  uint8_t message[PIPE_BUF];
  std::memcpy(message, header, header->size);
  // What the receiver sees: the reply port as its remote port.
  auto* delivered = reinterpret_cast<MessageHeader*>(message);
  uint32_t remoteBits = header->bits & 0x1f;
  uint32_t localBits = (header->bits >> 8) & 0x1f;
  delivered->bits = (header->bits & ~0x1f1fu) | localBits | (remoteBits << 8);
  delivered->remotePort = header->localPort;
  delivered->localPort = header->remotePort;
  // One write of at most PIPE_BUF bytes is never interleaved with another.
  ssize_t written;
  do {
    written = ::write(slot->writeFd.load(), message, header->size);
  } while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(header->size) ? kKernSuccess : kSendInvalidDest;
}

KernReturn messageReceive(Port port, void* buffer, size_t size) {
  PortSlot* slot = slotOf(port);
  if (slot == nullptr || buffer == nullptr || size < sizeof(MessageHeader)) return kReceiveInvalidName;
  int fd = slot->readFd.load();
  auto* header = static_cast<MessageHeader*>(buffer);
  if (!readFully(fd, header, sizeof(MessageHeader))) return kReceivePortDied;
  if (header->size < sizeof(MessageHeader)) return kReceivePortDied;
  size_t rest = header->size - sizeof(MessageHeader);
  if (header->size > size) {
    uint8_t discard[256];
    while (rest > 0) {
      size_t part = rest < sizeof(discard) ? rest : sizeof(discard);
      if (!readFully(fd, discard, part)) return kReceivePortDied;
      rest -= part;
    }
    return kReceiveTooLarge;
  }
  return readFully(fd, header + 1, rest) ? kKernSuccess : kReceivePortDied;
}

KernReturn taskSetExceptionPorts(Port task, uint32_t mask, Port port, int32_t behavior, int32_t flavor) {
  if (task != taskSelf() || (mask & ~kValidExceptionMask) != 0) return kKernInvalidArgument;
  for (uint32_t type = 1; type < kExceptionTypeCount; ++type) {
    if ((mask & (1u << type)) != 0) exceptionPorts[type] = {port, behavior, flavor};
  }
  return kKernSuccess;
}

KernReturn taskSwapExceptionPorts(Port task, uint32_t mask, Port port, int32_t behavior, int32_t flavor,
                                  uint32_t* masks, uint32_t* count, Port* portsOut, int32_t* behaviors,
                                  int32_t* flavors) {
  if (task != taskSelf() || (mask & ~kValidExceptionMask) != 0 || count == nullptr) return kKernInvalidArgument;
  uint32_t entries = 0;
  for (uint32_t type = 1; type < kExceptionTypeCount; ++type) {
    if ((mask & (1u << type)) == 0) continue;
    const ExceptionEntry& previous = exceptionPorts[type];
    uint32_t j = 0;
    while (j < entries &&
           !(portsOut[j] == previous.port && behaviors[j] == previous.behavior && flavors[j] == previous.flavor)) {
      ++j;
    }
    if (j == entries) {
      portsOut[j] = previous.port;
      behaviors[j] = previous.behavior;
      flavors[j] = previous.flavor;
      masks[j] = 0;
      ++entries;
    }
    masks[j] |= 1u << type;
  }
  *count = entries;
  return taskSetExceptionPorts(task, mask, port, behavior, flavor);
}

KernReturn taskGetExceptionPort(Port task, int32_t exception, Port* port, int32_t* behavior, int32_t* flavor) {
  if (task != taskSelf() || exception < 1 || exception >= static_cast<int32_t>(kExceptionTypeCount)) {
    return kKernInvalidArgument;
  }
  const ExceptionEntry& entry = exceptionPorts[exception];
  *port = entry.port;
  *behavior = entry.behavior;
  *flavor = entry.flavor;
  return kKernSuccess;
}

}  // namespace mach
