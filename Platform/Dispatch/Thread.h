// Every thread the project starts is started here, so that each has an
// alternate signal stack of its own: a crash handler installed with
// SA_ONSTACK then still runs when the thread overflows its stack (a
// thread's own stack cannot host the handler of its overflow). The
// threads that libraries we call start for themselves are not covered.
#pragma once

#include <functional>
#include <thread>

namespace dispatch {

// Runs `body` on a new thread that installs an alternate signal stack
// (detail/WorkerSignalStack.h) before it and removes it after. A `name`
// (at most 15 characters) names the thread, as crash reports and
// /proc/self/task/<tid>/comm show it.
std::thread startThread(std::function<void()> body, const char* name = nullptr);

}  // namespace dispatch
