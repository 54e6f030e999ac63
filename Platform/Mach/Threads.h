// The threads of this process, as the crash reporter sees them while the
// process may be dying: listed from /proc/self/task with raw system calls
// into fixed buffers, so nothing here allocates, locks or touches errno's
// users beyond the call itself. A thread's identity is its kernel thread id.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace mach {

using ThreadId = pid_t;

inline constexpr uint32_t kMaxTaskThreads = 1024;

struct ThreadList {
  ThreadId threads[kMaxTaskThreads];
  uint32_t count;
};

// The task's threads in the kernel's directory order. False when the list
// cannot be read (`count` is then 0); threads past kMaxTaskThreads are left
// out. `directory` is for tests; by default "/proc/self/task".
bool taskThreads(ThreadList* list, const char* directory = nullptr);

// The calling thread's id.
ThreadId currentThread();

// The thread's name from /proc/self/task/<tid>/comm, without its newline,
// NUL-terminated in `name` (at most size - 1 bytes). False (and "") when
// the thread is gone or unnamed.
bool threadName(ThreadId thread, char* name, size_t size);

}  // namespace mach
