// The end of the dispatch layer at process exit.
//
// The layer's internals (worker pool, deadline thread, file-watching thread,
// main run loop, main and global queues) are never destroyed, so that code
// still running at exit never meets a destroyed one. Instead, one guard,
// made on first use, stops them in order when static destruction reaches
// it: deadlines stop firing, file watching stops, workers finish their
// current block (the main loop is pumped meanwhile on the main thread) and
// are joined, and work not started is dropped. Afterwards every call still
// works but queues nothing.
#pragma once

#include <functional>

namespace dispatch::detail {

// Makes the guard (once); call from every internal's first use.
void ensureShutdownAtExit();

// Registers a step for the guard, run in order of `stage` (lower first).
// Network: a higher layer's transfer thread, which hands work to queues,
// so it stops before the workers.
enum class ShutdownStage { Deadlines = 0, FileWatching = 1, Network = 2, Workers = 3, MainLoop = 4 };
void addShutdownStep(ShutdownStage stage, std::function<void()> step);

}  // namespace dispatch::detail
