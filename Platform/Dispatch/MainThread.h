// Which thread is the main thread: the process's initial thread, the one
// that pumps the main run loop (in tests, the test program's main thread).
#pragma once

namespace dispatch {

bool isMainThread();

}  // namespace dispatch
