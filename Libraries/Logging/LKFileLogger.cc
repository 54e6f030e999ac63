#include "Libraries/Logging/LKFileLogger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <exception>

#include "Libraries/Logging/LKBufferedProxy.h"
#include "Libraries/Logging/LKConsole.h"
#include "Libraries/Logging/LKLog.h"
#include "Libraries/Logging/LKLogFileFormatterDefault.h"
#include "Libraries/Logging/LKLogFileManagerDefault.h"
#include "Platform/Foundation/Clock.h"

namespace {

std::atomic<int> exceptionCount{0};

constexpr unsigned kWatchedEvents =
    dispatch::FileWatcher::kDelete | dispatch::FileWatcher::kRename | dispatch::FileWatcher::kRevoke;

}  // namespace

std::shared_ptr<LKFileLogger> LKFileLogger::create(std::shared_ptr<LKLogFileManager> logFileManager,
                                                   std::shared_ptr<dispatch::Queue> completionQueue) {
  if (!logFileManager) logFileManager = std::make_shared<LKLogFileManagerDefault>();
  return std::shared_ptr<LKFileLogger>(new LKFileLogger(std::move(logFileManager), std::move(completionQueue)));
}

LKFileLogger::LKFileLogger(std::shared_ptr<LKLogFileManager> logFileManager,
                           std::shared_ptr<dispatch::Queue> completionQueue)
    : logFileManager_(std::move(logFileManager)),
      completionQueue_(completionQueue ? std::move(completionQueue) : dispatch::Queue::global()) {
  logFormatter_ = std::make_shared<LKLogFileFormatterDefault>();
}

LKFileLogger::~LKFileLogger() {
  // Nothing can run on the logger's queue for this logger any more: blocks
  // hold it strongly, timers and the watcher only weakly. Waiting for the
  // queue here could wait for the very block that let go of the logger.
  if (currentLogFileVnode_) currentLogFileVnode_->cancel();
  if (rollingTimer_) rollingTimer_->cancel();
  lt_closeFile();
}

std::weak_ptr<LKFileLogger> LKFileLogger::weakSelf() {
  return std::static_pointer_cast<LKFileLogger>(shared_from_this());
}

std::shared_ptr<LKBufferedProxy> LKFileLogger::wrapWithBuffer() {
  return std::make_shared<LKBufferedProxy>(std::static_pointer_cast<LKFileLogger>(shared_from_this()));
}

// Properties

uint64_t LKFileLogger::maximumFileSize() {
  uint64_t result = 0;
  performOnLoggerQueueAndWait([&] { result = maximumFileSize_; });
  return result;
}

void LKFileLogger::setMaximumFileSize(uint64_t bytes) {
  auto self = std::static_pointer_cast<LKFileLogger>(shared_from_this());
  auto queue = loggerQueue();
  LKLog::performOnLoggingQueue([self, queue, bytes] {
    queue->async([self, bytes] {
      self->maximumFileSize_ = bytes;
      if (self->lt_currentLogFileHandle()) self->lt_maybeRollLogFileDueToSize();
    });
  });
}

double LKFileLogger::rollingFrequency() {
  double result = 0;
  performOnLoggerQueueAndWait([&] { result = rollingFrequency_; });
  return result;
}

void LKFileLogger::setRollingFrequency(double seconds) {
  auto self = std::static_pointer_cast<LKFileLogger>(shared_from_this());
  auto queue = loggerQueue();
  LKLog::performOnLoggingQueue([self, queue, seconds] {
    queue->async([self, seconds] {
      self->rollingFrequency_ = seconds;
      if (self->lt_currentLogFileHandle()) self->lt_maybeRollLogFileDueToAge();
    });
  });
}

std::shared_ptr<LKLogFileInfo> LKFileLogger::currentLogFileInfo() {
  std::shared_ptr<LKLogFileInfo> result;
  performOnLoggerQueueAndWait([&] { result = lt_currentLogFileInfo(); });
  return result;
}

void LKFileLogger::rollLogFileWithCompletionBlock(std::function<void()> completion) {
  auto self = std::static_pointer_cast<LKFileLogger>(shared_from_this());
  auto block = [self, completion] {
    self->lt_rollLogFileNow();
    if (completion) self->completionQueue_->async(completion);
  };
  if (isOnInternalLoggerQueue()) {
    block();
    return;
  }
  auto queue = loggerQueue();
  LKLog::performOnLoggingQueue([queue, block] { queue->async(block); });
}

// Writing

void LKFileLogger::logMessage(const LKLogMessage& message) {
  std::string data = lt_dataForMessage(message);
  if (!data.empty()) lt_logData(data);
}

void LKFileLogger::logMessages(std::span<const LKLogMessage* const> messages) {
  for (const LKLogMessage* message : messages) {
    std::string data = lt_dataForMessage(*message);
    if (!data.empty()) lt_takeData(data, true);
  }
  lt_writeUnwritten();
}

void LKFileLogger::logData(const std::string& data) {
  if (isOnInternalLoggerQueue()) {
    lt_logData(data);
  } else {
    performOnLoggerQueueAndWait([&] { lt_logData(data); });
  }
}

std::string LKFileLogger::lt_dataForMessage(const LKLogMessage& message) {
  std::string line;
  bool custom = false;
  if (logFormatter_) {
    std::optional<std::string> formatted = logFormatter_->formatLogMessage(message);
    if (!formatted || formatted->empty()) return {};
    // A formatter that hands the message back unchanged is no custom line.
    custom = *formatted != message.message();
    line = std::move(*formatted);
  } else {
    if (message.message().empty()) return {};
    line = message.message();
  }
  if (line.back() != '\n' && !(custom && !automaticallyAppendNewline_)) line.push_back('\n');
  return line;
}

namespace {

// Whether the file is empty or its last byte ends a line.
bool endsWithLineBreak(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;
  struct stat st {};
  char last = '\n';
  if (::fstat(fd, &st) == 0 && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) != 1) last = '\n';
  ::close(fd);
  return last == '\n';
}

}  // namespace

namespace {

// A batch writes what gathered once this much has: more buys nothing.
constexpr size_t kMostUnwritten = 256 * 1024;

void reportException(const std::exception& exception) {
  int before = exceptionCount.fetch_add(1);
  if (before <= 9) LKConsoleLog("LKFileLogger.logMessage: %@", exception.what());
  if (before + 1 == 10) {
    LKConsoleWrite("LKFileLogger.logMessage: Too many exceptions -- will not log any more of them.");
  }
}

}  // namespace

void LKFileLogger::lt_logData(const std::string& data) {
  if (data.empty()) return;
  lt_writeUnwritten();  // lines of earlier records come first
  lt_takeData(data, false);
}

void LKFileLogger::lt_takeData(const std::string& data, bool gather) {
  try {
    ns::FileHandle* handle = lt_currentLogFileHandle();
    if (currentLogFileInfo_) willLogMessage(*currentLogFileInfo_);
    if (!handle) {
      // No file could be opened or created: the record is lost.
      LKConsoleLog("LKFileLogger: Failed to seek to end of file: %@", "no file");
      LKConsoleLog("LKFileLogger: Failed to write data: %@", "no file");
    } else if (!gather) {
      lt_writeLines(handle, data);
    } else {
      unwritten_ += data;
      if (unwritten_.size() >= kMostUnwritten) lt_writeUnwritten();
    }
    // The size check counts gathered lines as written: a roll writes them
    // to the file they belong to before closing it.
    if (currentLogFileInfo_) didLogMessage(*currentLogFileInfo_);
  } catch (const std::exception& exception) {
    reportException(exception);
  }
}

void LKFileLogger::lt_writeUnwritten() {
  if (unwritten_.empty()) return;
  // Lines are gathered only while a file is open, and closing it writes
  // them first.
  if (currentLogFileHandle_) lt_writeLines(currentLogFileHandle_.get(), unwritten_);
  unwritten_.clear();
}

void LKFileLogger::lt_writeLines(ns::FileHandle* handle, std::string_view bytes) {
  ns::Error error;
  // A write that failed (a full disk) may have left part of its record
  // without a line end: the next record starts on a line of its own.
  std::string separated;
  if (lastWriteFailed_ && !endsWithLineBreak(handle->path())) {
    separated.reserve(bytes.size() + 1);
    separated.push_back('\n');
    separated.append(bytes);
    bytes = separated;
  }
  // Opened for appending: every write lands at the end without a seek.
  if (!handle->write(bytes, &error)) {
    LKConsoleLog("LKFileLogger: Failed to write data: %@", error);
    lastWriteFailed_ = true;
    currentOffset_ = handle->seekToEnd(nullptr).value_or(currentOffset_);
  } else {
    lastWriteFailed_ = false;
    currentOffset_ += bytes.size();
  }
}

void LKFileLogger::didLogMessage(LKLogFileInfo& info) {
  (void)info;
  lt_maybeRollLogFileDueToSize();
}

void LKFileLogger::flush() {
  if (isOnInternalLoggerQueue()) {
    lt_flush();
  } else {
    performOnLoggerQueueAndWait([this] { lt_flush(); });
  }
}

void LKFileLogger::lt_flush() {
  lt_writeUnwritten();
  ns::Error error;
  if (currentLogFileHandle_ && !currentLogFileHandle_->synchronize(&error)) {
    LKConsoleLog("LKFileLogger: Failed to synchronize file: %@", error);
  }
}

void LKFileLogger::willRemoveLogger() { lt_rollLogFileNow(); }

// Choosing and opening the file

std::shared_ptr<LKLogFileInfo> LKFileLogger::lt_currentLogFileInfo() {
  std::shared_ptr<LKLogFileInfo> candidate = currentLogFileInfo_;
  bool resuming = false;
  if (!candidate) {
    auto sorted = logFileManager_->sortedLogFileInfos();
    if (!sorted.empty()) candidate = sorted.front();
    resuming = true;
  }
  if (candidate && lt_shouldUseLogFile(*candidate, resuming)) {
    currentLogFileInfo_ = candidate;
    return currentLogFileInfo_;
  }
  ns::Error error;
  std::optional<std::string> path = logFileManager_->createNewLogFileWithError(&error);
  if (!path) LKConsoleLog("LKFileLogger: Failed to create new log file: %@", error);
  currentLogFileInfo_ = path ? LKLogFileInfo::logFileWithPath(*path) : nullptr;
  return currentLogFileInfo_;
}

bool LKFileLogger::lt_shouldUseLogFile(LKLogFileInfo& info, bool isResuming) {
  if (info.isArchived()) return false;
  if (info.isSymlink()) return false;
  if (!isResuming) return true;
  if (!doNotReuseLogFiles_ && !lt_shouldLogFileBeArchived(info)) return true;
  info.setIsArchived(true);
  notifyArchived(info.filePath(), false);
  return false;
}

bool LKFileLogger::lt_shouldLogFileBeArchived(LKLogFileInfo& info) {
  if (shouldArchiveRecentLogFileInfo(info)) return true;
  if (maximumFileSize_ != 0 && info.fileSize() >= maximumFileSize_) return true;
  if (rollingFrequency_ > 0 && info.age() >= rollingFrequency_) return true;
  // An app that runs in the background must be able to write while locked.
  if (LKLogFileManagerDefault::applicationDeclaresBackgroundModes()) {
    const auto& attributes = info.fileAttributes();
    if (attributes && attributes->protection &&
        *attributes->protection != ns::kFileProtectionCompleteUntilFirstUserAuthentication &&
        *attributes->protection != ns::kFileProtectionNone) {
      return true;
    }
  }
  return false;
}

ns::FileHandle* LKFileLogger::lt_currentLogFileHandle() {
  if (currentLogFileHandle_) return currentLogFileHandle_.get();
  std::shared_ptr<LKLogFileInfo> info = lt_currentLogFileInfo();
  if (!info) return nullptr;
  int fd = ::open(info->filePath().c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return nullptr;
  currentLogFileHandle_ = ns::FileHandle::withFileDescriptor(fd, info->filePath());
  ns::Error error;
  std::optional<uint64_t> end = currentLogFileHandle_->seekToEnd(&error);
  if (!end) LKConsoleLog("LKFileLogger: Failed to seek to end of file: %@", error);
  currentOffset_ = end.value_or(0);
  lt_scheduleTimerToRollLogFileDueToAge();
  lt_monitorCurrentLogFileForExternalChanges();
  return currentLogFileHandle_.get();
}

// Rolling

void LKFileLogger::lt_maybeRollLogFileDueToSize() {
  if (!currentLogFileHandle_ || maximumFileSize_ == 0) return;
  // The offset is counted as this logger writes, saving a system call for
  // every record.
  if (currentOffset_ + unwritten_.size() >= maximumFileSize_) lt_rollLogFileNow();
}

void LKFileLogger::lt_maybeRollLogFileDueToAge() {
  if (rollingFrequency_ > 0 && currentLogFileInfo_ && currentLogFileInfo_->age() + 1 >= rollingFrequency_) {
    lt_rollLogFileNow();
  } else {
    lt_scheduleTimerToRollLogFileDueToAge();
  }
}

void LKFileLogger::lt_scheduleTimerToRollLogFileDueToAge() {
  if (rollingTimer_) {
    rollingTimer_->cancel();
    rollingTimer_.reset();
  }
  if (!currentLogFileInfo_ || rollingFrequency_ <= 0) return;
  std::optional<ns::Date> created = currentLogFileInfo_->creationDate();
  if (!created) return;
  constexpr double kLatest = 9223372036.0;  // the longest delay a timer takes
  double frequency = rollingFrequency_;
  if (created->timeIntervalSinceReferenceDate() + frequency > ns::Date::distantFuture().timeIntervalSinceReferenceDate()) {
    frequency = ns::Date::distantFuture().timeIntervalSince(*created);
  }
  ns::Date rollDate = created->addingTimeInterval(frequency);
  double delay = rollDate.timeIntervalSince(ns::Clock::now());
  if (delay > kLatest) rollDate = ns::Clock::now().addingTimeInterval(kLatest);
  rollingTimer_ = dispatch::TimerSource::create(loggerQueue());
  std::weak_ptr<LKFileLogger> weak = weakSelf();
  rollingTimer_->setEventHandler([weak] {
    if (auto self = weak.lock()) self->lt_maybeRollLogFileDueToAge();
  });
  rollingTimer_->setWallTimer(rollDate, dispatch::TimerSource::kOneShot, dispatch::kNanosPerSecond);
  rollingTimer_->resume();
}

void LKFileLogger::lt_monitorCurrentLogFileForExternalChanges() {
  if (currentLogFileVnode_) {
    currentLogFileVnode_->cancel();
    currentLogFileVnode_.reset();
  }
  if (!currentLogFileHandle_) return;
  ns::Error error;
  currentLogFileVnode_ =
      dispatch::FileWatcher::create(currentLogFileHandle_->fileDescriptor(), kWatchedEvents, loggerQueue(), &error);
  if (!currentLogFileVnode_) return;
  std::weak_ptr<LKFileLogger> weak = weakSelf();
  currentLogFileVnode_->setEventHandler([weak](unsigned) {
    if (auto self = weak.lock()) self->lt_rollLogFileNow();
  });
  currentLogFileVnode_->resume();
}

void LKFileLogger::lt_closeFile() {
  if (!currentLogFileHandle_) return;
  lt_writeUnwritten();
  ns::Error error;
  if (!currentLogFileHandle_->synchronize(&error)) LKConsoleLog("LKFileLogger: Failed to synchronize file: %@", error);
  if (!currentLogFileHandle_->close(&error)) LKConsoleLog("LKFileLogger: Failed to close file: %@", error);
  currentLogFileHandle_.reset();
}

void LKFileLogger::lt_rollLogFileNow() {
  if (!currentLogFileHandle_) return;
  // Stop watching first: closing must not look like a change from outside.
  if (currentLogFileVnode_) {
    currentLogFileVnode_->cancel();
    currentLogFileVnode_.reset();
  }
  lt_closeFile();
  if (currentLogFileInfo_) {
    currentLogFileInfo_->setIsArchived(true);
    notifyArchived(currentLogFileInfo_->filePath(), true);
  }
  currentLogFileInfo_.reset();
  if (rollingTimer_) {
    rollingTimer_->cancel();
    rollingTimer_.reset();
  }
}

void LKFileLogger::notifyArchived(const std::string& path, bool wasRolled) {
  std::shared_ptr<LKLogFileManager> manager = logFileManager_;
  completionQueue_->async([manager, path, wasRolled] { manager->didArchiveLogFile(path, wasRolled); });
}
