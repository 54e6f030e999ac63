#include "Platform/Dispatch/FileWatcher.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <thread>
#include <vector>

#include "Platform/Dispatch/Thread.h"
#include "Platform/Dispatch/detail/Shutdown.h"
#include "Platform/Foundation/Error.h"

namespace dispatch {

struct FileWatcher::Impl : std::enable_shared_from_this<FileWatcher::Impl> {
  int fd = -1;
  unsigned mask = 0;
  int wd = -1;
  std::shared_ptr<Queue> queue;
  std::mutex mutex;
  std::function<void(unsigned)> handler;
  std::function<void()> cancelHandler;
  int suspendCount = 1;
  bool cancelled = false;
  bool handlerPending = false;
  unsigned pending = 0;
  nlink_t links = 0;
  off_t size = 0;

  void seen(uint32_t inotifyMask);
  void deliver();  // with mutex held
};

namespace {

constexpr uint32_t kWatchMask = IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_MODIFY | IN_UNMOUNT;

// One inotify descriptor and one thread for every watcher of the process.
class Inotify {
 public:
  static Inotify& shared() {
    // Never destroyed (watchers may go away during exit); the thread stops
    // at exit.
    static Inotify* instance = [] {
      auto* i = new Inotify;
      detail::addShutdownStep(detail::ShutdownStage::FileWatching, [i] { i->shutdown(); });
      return i;
    }();
    return *instance;
  }

  // Returns the watch descriptor, or -1 with errno set.
  int add(const std::shared_ptr<FileWatcher::Impl>& impl) {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) {
      errno = initErrno_;
      return -1;
    }
    std::string path = "/proc/self/fd/" + std::to_string(impl->fd);
    // The same inode gives the same descriptor; the mask is the same for all.
    int wd = inotify_add_watch(fd_, path.c_str(), kWatchMask);
    if (wd < 0) return -1;
    watchers_[wd].push_back(impl);
    return wd;
  }

  void remove(FileWatcher::Impl* impl) {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) return;
    auto it = watchers_.find(impl->wd);
    if (it == watchers_.end()) return;
    auto& list = it->second;
    for (auto w = list.begin(); w != list.end();) {
      auto p = w->lock();
      if (!p || p.get() == impl) {
        w = list.erase(w);
      } else {
        ++w;
      }
    }
    if (list.empty()) {
      inotify_rm_watch(fd_, impl->wd);
      watchers_.erase(it);
    }
  }

  void shutdown() {
    {
      std::lock_guard lock(mutex_);
      if (fd_ < 0) return;
    }
    // Joined outside the lock: the thread may be delivering an event.
    uint64_t one = 1;
    if (write(stop_, &one, sizeof one) == sizeof one && thread_.joinable()) thread_.join();
    std::map<int, std::vector<std::weak_ptr<FileWatcher::Impl>>> dropped;
    std::lock_guard lock(mutex_);
    close(stop_);
    close(fd_);
    fd_ = -1;
    initErrno_ = ESHUTDOWN;
    dropped.swap(watchers_);
  }

 private:
  Inotify() {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
      initErrno_ = errno;
      return;
    }
    stop_ = eventfd(0, EFD_CLOEXEC);
    thread_ = startThread([this] { loop(); }, "quillbox-files");
  }

  void loop() {
    alignas(inotify_event) char buffer[8192];
    for (;;) {
      pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_, POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents) return;
      ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) continue;
      for (char* p = buffer; p < buffer + n;) {
        auto* event = reinterpret_cast<inotify_event*>(p);
        dispatchEvent(event->wd, event->mask);
        p += sizeof(inotify_event) + event->len;
      }
    }
  }

  void dispatchEvent(int wd, uint32_t mask) {
    std::vector<std::shared_ptr<FileWatcher::Impl>> targets;
    {
      std::lock_guard lock(mutex_);
      auto it = watchers_.find(wd);
      if (it == watchers_.end()) return;
      for (auto& w : it->second) {
        if (auto p = w.lock()) targets.push_back(p);
      }
      if (mask & IN_IGNORED) watchers_.erase(it);  // the kernel dropped the watch
    }
    for (auto& t : targets) t->seen(mask);
  }

  std::mutex mutex_;
  int fd_ = -1;
  int stop_ = -1;
  int initErrno_ = 0;
  std::map<int, std::vector<std::weak_ptr<FileWatcher::Impl>>> watchers_;
  std::thread thread_;
};

}  // namespace

void FileWatcher::Impl::seen(uint32_t inotifyMask) {
  std::lock_guard lock(mutex);
  if (cancelled) return;
  unsigned events = 0;
  struct stat st {};
  bool statted = fstat(fd, &st) == 0;
  if (inotifyMask & IN_MOVE_SELF) events |= kRename;
  if (inotifyMask & IN_DELETE_SELF) events |= kDelete;
  if (inotifyMask & IN_UNMOUNT) events |= kRevoke;
  if (inotifyMask & IN_ATTRIB) {
    events |= kAttrib;
    // A file deleted while open shows as an attribute change leaving no link.
    if (statted && st.st_nlink == 0) events |= kDelete;
    if (statted && st.st_nlink != links) events |= kLink;
  }
  if (inotifyMask & IN_MODIFY) {
    events |= kWrite;
    if (statted && st.st_size > size) events |= kExtend;
  }
  if (statted) {
    links = st.st_nlink;
    size = st.st_size;
  }
  pending |= events & mask;
  deliver();
}

void FileWatcher::Impl::deliver() {
  if (pending == 0 || handlerPending || suspendCount > 0 || cancelled) return;
  handlerPending = true;
  auto self = shared_from_this();
  queue->async([self] {
    std::function<void(unsigned)> h;
    unsigned events;
    {
      std::lock_guard lock(self->mutex);
      self->handlerPending = false;
      events = self->pending;
      self->pending = 0;
      if (self->cancelled || events == 0) return;
      h = self->handler;
    }
    if (h) h(events);
  });
}

std::shared_ptr<FileWatcher> FileWatcher::create(int fd, unsigned mask, std::shared_ptr<Queue> queue,
                                                 ns::Error* error) {
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    ns::setError(error, ns::Error::posix(errno));
    return nullptr;
  }
  auto impl = std::make_shared<Impl>();
  impl->fd = fd;
  impl->mask = mask;
  impl->queue = queue ? std::move(queue) : Queue::global();
  impl->links = st.st_nlink;
  impl->size = st.st_size;
  impl->wd = Inotify::shared().add(impl);
  if (impl->wd < 0) {
    ns::setError(error, ns::Error::posix(errno));
    return nullptr;
  }
  auto watcher = std::shared_ptr<FileWatcher>(new FileWatcher());
  watcher->impl_ = std::move(impl);
  return watcher;
}

FileWatcher::~FileWatcher() {
  if (impl_) Inotify::shared().remove(impl_.get());
}

void FileWatcher::setEventHandler(std::function<void(unsigned)> handler) {
  std::lock_guard lock(impl_->mutex);
  if (!impl_->cancelled) impl_->handler = std::move(handler);
}

void FileWatcher::setCancelHandler(std::function<void()> handler) {
  std::lock_guard lock(impl_->mutex);
  if (!impl_->cancelled) impl_->cancelHandler = std::move(handler);
}

void FileWatcher::resume() {
  std::lock_guard lock(impl_->mutex);
  if (impl_->suspendCount == 0) {
    throw ns::Exception(ns::kInternalInconsistencyException, "dispatch: file watcher resumed more often than suspended");
  }
  if (--impl_->suspendCount == 0) impl_->deliver();
}

void FileWatcher::suspend() {
  std::lock_guard lock(impl_->mutex);
  ++impl_->suspendCount;
}

void FileWatcher::cancel() {
  std::function<void()> cancelHandler;
  std::function<void(unsigned)> handler;
  {
    std::lock_guard lock(impl_->mutex);
    if (impl_->cancelled) return;
    impl_->cancelled = true;
    cancelHandler.swap(impl_->cancelHandler);
    handler.swap(impl_->handler);  // handlers often capture the watcher
  }
  Inotify::shared().remove(impl_.get());
  if (cancelHandler) impl_->queue->async(std::move(cancelHandler));
}

bool FileWatcher::isCancelled() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->cancelled;
}

}  // namespace dispatch
