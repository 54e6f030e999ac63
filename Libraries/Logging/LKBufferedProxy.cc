#include "Libraries/Logging/LKBufferedProxy.h"

#include <mntent.h>
#include <sys/statfs.h>

#include <algorithm>
#include <cstring>

namespace {

struct RootFileSystem {
  uint64_t blockSize = 4096;
  uint64_t transferSize = 1024 * 1024;

  RootFileSystem() {
    // Walk the mounted file systems for the one mounted exactly at "/".
    FILE* mounts = ::setmntent("/proc/self/mounts", "r");
    if (!mounts) return;
    bool found = false;
    while (struct mntent* entry = ::getmntent(mounts)) {
      if (std::strcmp(entry->mnt_dir, "/") == 0) found = true;
    }
    ::endmntent(mounts);
    struct statfs fs;
    if (!found || ::statfs("/", &fs) != 0) return;
    if (fs.f_frsize > 0) blockSize = static_cast<uint64_t>(fs.f_frsize);
    if (fs.f_bsize > 0) transferSize = static_cast<uint64_t>(fs.f_bsize);
  }
  static const RootFileSystem& get() {
    static const RootFileSystem root;
    return root;
  }
};

}  // namespace

uint64_t LKBufferedProxy::defaultBufferSize() { return RootFileSystem::get().blockSize; }
uint64_t LKBufferedProxy::maximumBufferSize() { return RootFileSystem::get().transferSize; }

LKBufferedProxy::LKBufferedProxy(std::shared_ptr<LKFileLogger> fileLogger)
    : fileLogger_(std::move(fileLogger)), maxBufferSizeBytes_(defaultBufferSize()) {
  buffer_.reserve(maxBufferSizeBytes_);
}

LKBufferedProxy::~LKBufferedProxy() {
  if (buffer_.empty()) return;
  if (fileLogger_->isOnInternalLoggerQueue()) {
    lt_sendBufferedDataToFileLogger();
    return;
  }
  // Queued rather than waited for: the proxy may be let go of by a block
  // that is still finishing on that very queue.
  fileLogger_->loggerQueue()->async([logger = fileLogger_, data = std::move(buffer_)] { logger->lt_logData(data); });
}

void LKBufferedProxy::setMaxBufferSizeBytes(uint64_t bytes) {
  maxBufferSizeBytes_ = std::min(bytes, maximumBufferSize());
}

void LKBufferedProxy::logMessage(const LKLogMessage& message) {
  std::string data = fileLogger_->lt_dataForMessage(message);
  if (data.empty()) return;
  buffer_ += data;
  if (buffer_.size() >= maxBufferSizeBytes_) lt_sendBufferedDataToFileLogger();
}

void LKBufferedProxy::logMessages(std::span<const LKLogMessage* const> messages) {
  const uint64_t most = std::max(maxBufferSizeBytes_, maximumBufferSize());
  for (const LKLogMessage* message : messages) {
    std::string data = fileLogger_->lt_dataForMessage(*message);
    if (data.empty()) continue;
    buffer_ += data;
    if (buffer_.size() >= most) lt_sendBufferedDataToFileLogger();
  }
  if (buffer_.size() >= maxBufferSizeBytes_) lt_sendBufferedDataToFileLogger();
}

void LKBufferedProxy::flush() {
  auto work = [this] {
    lt_sendBufferedDataToFileLogger();
    fileLogger_->flush();
  };
  if (fileLogger_->isOnInternalLoggerQueue()) {
    work();
  } else {
    auto queue = fileLogger_->loggerQueue();
    LKLog::performOnLoggingQueueAndWait([&] { queue->sync(work); });
  }
}

void LKBufferedProxy::willRemoveLogger() {
  // What is buffered belongs to the file about to be rolled.
  lt_sendBufferedDataToFileLogger();
  fileLogger_->willRemoveLogger();
}

void LKBufferedProxy::lt_sendBufferedDataToFileLogger() {
  if (buffer_.empty()) return;
  fileLogger_->lt_logData(buffer_);
  buffer_.clear();
}
