// For the crash tests' child programs, included by exactly one file of
// each: malloc, calloc, realloc, free and pthread_mutex_lock replaced so
// that, once armed on a thread, a call there ends the program at once with
// status 90 to 94. Armed on the crashing thread just before the fault, they
// show a crash handler that allocates or locks.
#pragma once

#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
}

namespace dvcr_testing {

inline thread_local bool tripWiresArmed = false;

using MutexLock = int (*)(pthread_mutex_t*);
inline std::atomic<MutexLock> realMutexLock{nullptr};

// libc's own: its exported name is this program's, so it is looked up.
// Call once before arming: the look-up itself may allocate.
inline MutexLock libcMutexLock() {
  MutexLock lock = realMutexLock.load();
  if (lock == nullptr) {
    lock = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    realMutexLock = lock;
  }
  return lock;
}

}  // namespace dvcr_testing

extern "C" {
void* malloc(size_t size) {
  if (dvcr_testing::tripWiresArmed) _exit(90);
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
  if (dvcr_testing::tripWiresArmed) _exit(91);
  return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
  if (dvcr_testing::tripWiresArmed) _exit(92);
  return __libc_realloc(pointer, size);
}
void free(void* pointer) {
  if (dvcr_testing::tripWiresArmed) _exit(93);
  __libc_free(pointer);
}
int pthread_mutex_lock(pthread_mutex_t* mutex) {
  if (dvcr_testing::tripWiresArmed) _exit(94);
  return dvcr_testing::libcMutexLock()(mutex);
}
}
