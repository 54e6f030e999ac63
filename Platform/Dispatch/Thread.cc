#include "Platform/Dispatch/Thread.h"

#include <pthread.h>

#include <utility>

#include "Platform/Dispatch/detail/WorkerSignalStack.h"

namespace dispatch {

std::thread startThread(std::function<void()> body, const char* name) {
  return std::thread([body = std::move(body), name] {
    if (name != nullptr) ::pthread_setname_np(::pthread_self(), name);
    detail::WorkerSignalStack signalStack;
    body();
  });
}

}  // namespace dispatch
