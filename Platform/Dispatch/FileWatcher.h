// Watches an open file for being deleted, renamed or revoked (its file
// system unmounted), and optionally written, calling a handler on a queue.
//
// Built on inotify: the rename of the file itself, and an attribute change
// that leaves a link count of zero, which is how a delete of a file still
// held open shows. Created suspended: set the handler, then resume().
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Error.h"

namespace dispatch {

class FileWatcher : public std::enable_shared_from_this<FileWatcher> {
 public:
  enum Event : unsigned {
    kDelete = 1u << 0,
    kWrite = 1u << 1,
    kExtend = 1u << 2,
    kAttrib = 1u << 3,
    kLink = 1u << 4,
    kRename = 1u << 5,
    kRevoke = 1u << 6,
  };

  // Watches the file open as `fd` (the watcher does not own or close it)
  // for the events in `mask`. Returns null and sets *error when the file
  // cannot be watched.
  static std::shared_ptr<FileWatcher> create(int fd, unsigned mask, std::shared_ptr<Queue> queue,
                                             ns::Error* error = nullptr);
  ~FileWatcher();

  // Called with the events seen since the last call (coalesced).
  void setEventHandler(std::function<void(unsigned events)> handler);
  void setCancelHandler(std::function<void()> handler);
  void resume();
  void suspend();
  // Stops watching; the cancel handler runs on the queue.
  void cancel();
  bool isCancelled() const;

  struct Impl;  // internal
 private:
  FileWatcher() = default;
  std::shared_ptr<Impl> impl_;
};

}  // namespace dispatch
