// Stopping the dispatch layer before the process ends.
//
// At exit the layer stops itself when static destruction reaches it, but
// objects first used after it (a library's shared calendar, a crypto
// library's tables) are destroyed before that, while a worker may still use
// them. A program that ends with work possibly running calls shutdown()
// first, as the last thing before it returns from main: deadlines stop
// firing, file watching stops, blocks running on workers finish (the main
// run loop is pumped meanwhile when called on the main thread) and the
// workers are joined; blocks not started are dropped. Afterwards every call
// still works but queues nothing. Later calls do nothing.
#pragma once

namespace dispatch {

void shutdown();

}  // namespace dispatch
