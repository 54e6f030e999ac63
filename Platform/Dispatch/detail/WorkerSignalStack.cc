#include "Platform/Dispatch/detail/WorkerSignalStack.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace dispatch::detail {

WorkerSignalStack::WorkerSignalStack() {
  stack_t current{};
  if (::sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE) == 0) return;
  size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  size_t size = page + kWorkerSignalStackSize;
  void* mapping = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapping == MAP_FAILED) return;
  // The guard page catches a handler that overruns its stack.
  ::mprotect(mapping, page, PROT_NONE);
  stack_t stack{};
  stack.ss_sp = static_cast<char*>(mapping) + page;
  stack.ss_size = kWorkerSignalStackSize;
  if (::sigaltstack(&stack, nullptr) != 0) {
    ::munmap(mapping, size);
    return;
  }
  mapping_ = mapping;
  mappingSize_ = size;
}

WorkerSignalStack::~WorkerSignalStack() {
  if (mapping_ == nullptr) return;
  stack_t disabled{};
  disabled.ss_flags = SS_DISABLE;
  if (::sigaltstack(&disabled, nullptr) == 0) ::munmap(mapping_, mappingSize_);
}

}  // namespace dispatch::detail
