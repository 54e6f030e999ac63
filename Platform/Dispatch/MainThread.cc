#include "Platform/Dispatch/MainThread.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace dispatch {

bool isMainThread() {
  // The initial thread of a Linux process has the process id as thread id.
  // Not cached: a forked child's thread becomes its process's main thread.
  return syscall(SYS_gettid) == getpid();
}

}  // namespace dispatch
