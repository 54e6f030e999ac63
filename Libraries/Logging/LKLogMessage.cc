#include "Libraries/Logging/LKLogMessage.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <pthread.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <functional>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/detail/CurrentQueue.h"
#include "Platform/Foundation/Clock.h"

namespace {

// A thread's kernel identifier never changes, so it is read once per thread.
const std::string& currentThreadID() {
  thread_local const std::string id = [] {
    pid_t tid = ::gettid();
    if (tid <= 0) return std::string("N/A");
    char text[32];
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(tid));
    return std::string(text);
  }();
  return id;
}

// Whether this is the process's initial thread, without the two system
// calls of asking each time; a fork makes the forking thread the child's
// main thread, so the answer is recomputed after one.
std::atomic<uint64_t> forkGeneration{0};
bool isMainThreadCached() {
  static const bool registered = [] {
    ::pthread_atfork(nullptr, nullptr, [] { forkGeneration.fetch_add(1); });
    return true;
  }();
  (void)registered;
  thread_local uint64_t generation = UINT64_MAX;
  thread_local bool isMain = false;
  uint64_t now = forkGeneration.load(std::memory_order_relaxed);
  if (generation != now) {
    isMain = ::gettid() == ::getpid();
    generation = now;
  }
  return isMain;
}

std::string currentThreadName() {
  char name[17] = {};
  if (::prctl(PR_GET_NAME, name, 0, 0, 0) != 0) return {};
  return name;
}

// The file name of a record's source file. A thread logs from the same few
// files over and over, so the last answer is kept: comparing the path is
// cheaper than cutting it again.
const std::string& cachedFileName(const std::string& file) {
  thread_local std::string lastFile;
  thread_local std::string lastName;
  if (file != lastFile || lastFile.empty()) {
    lastName = LKLogMessage::fileNameFromPath(file);
    lastFile = file;
  }
  return lastName;
}

// Whether a record made under this queue label is shown by its thread's
// name: with no label, or a global queue's label (shared by many threads).
bool labelNeedsThreadName(const std::string& label) {
  static const std::array<std::string, 4> globalLabels = [] {
    std::array<std::string, 4> labels;
    size_t i = 0;
    for (auto priority : {dispatch::Priority::High, dispatch::Priority::Default, dispatch::Priority::Utility,
                          dispatch::Priority::Background}) {
      labels[i++] = dispatch::Queue::global(priority)->label();
    }
    return labels;
  }();
  return label.empty() || std::find(globalLabels.begin(), globalLabels.end(), label) != globalLabels.end();
}

uint64_t qosOf(const dispatch::Queue* queue) {
  if (!queue) return LKQualityOfServiceUnspecified;
  if (queue->isMain()) return LKQualityOfServiceUserInteractive;
  switch (queue->priority()) {
    case dispatch::Priority::High: return LKQualityOfServiceUserInitiated;
    case dispatch::Priority::Default: return LKQualityOfServiceDefault;
    case dispatch::Priority::Utility: return LKQualityOfServiceUtility;
    case dispatch::Priority::Background: return LKQualityOfServiceBackground;
  }
  return LKQualityOfServiceUnspecified;
}

template <class T>
void mix(size_t& h, const T& value) {
  h ^= std::hash<T>{}(value);
}

}  // namespace

LKLogMessage::LKLogMessage(std::string format, std::string formatted, uint64_t level, uint64_t flag,
                           int64_t context, std::string file, std::optional<std::string> function,
                           uint64_t line, LKLogTag tag, int64_t options, std::optional<ns::Date> timestamp)
    : message_(std::move(formatted)),
      messageFormat_(std::move(format)),
      level_(level),
      flag_(flag),
      context_(context),
      file_(std::move(file)),
      function_(std::move(function)),
      line_(line),
      representedObject_(std::move(tag)),
      options_(options),
      timestamp_(timestamp ? *timestamp : ns::Clock::now()),
      threadID_(currentThreadID()) {
  captureCaller();
}

void LKLogMessage::captureCaller() {
  fileName_ = cachedFileName(file_);
  // The innermost queue this code runs on (as dispatch::Queue::current()
  // finds it, without its system calls on every record).
  const auto& frames = dispatch::detail::currentQueues();
  const dispatch::Queue* queue = nullptr;
  if (!frames.empty()) {
    queue = frames.back().queue;
  } else if (isMainThreadCached()) {
    queue = dispatch::Queue::main().get();
  }
  if (queue) {
    queueLabel_ = queue->label();
  } else {
    queueLabel_.clear();
  }
  qos_ = qosOf(queue);
  // Asking the kernel for the name is most of a record's cost on its
  // thread; a labelled queue names the place instead, so it is asked only
  // where the label does not (a thread may rename itself at any time, so
  // the name is not kept from one record to the next).
  if (labelNeedsThreadName(queueLabel_)) {
    threadName_ = currentThreadName();
  } else {
    threadName_.clear();
  }
}

void LKLogMessage::refill(std::string_view format, uint64_t level, uint64_t flag, int64_t context,
                          std::string_view file, std::string_view function, uint64_t line, LKLogTag tag,
                          int64_t options) {
  // assign() writes into the storage the strings already have.
  messageFormat_.assign(format);
  level_ = level;
  flag_ = flag;
  context_ = context;
  file_.assign(file);
  if (!function_) function_.emplace();
  function_->assign(function);
  line_ = line;
  representedObject_ = std::move(tag);
  options_ = options;
  timestamp_ = ns::Clock::now();
  threadID_.assign(currentThreadID());
  captureCaller();
}

void LKLogMessage::swapWith(LKLogMessage& other) noexcept {
  using std::swap;
  // Texts that a call site and a thread repeat (its file, function, thread
  // and queue) are mostly equal on both sides: those stay where they are,
  // as a short text's exchange copies it three times (under the callers' lock).
  auto exchange = [](std::string& a, std::string& b) {
    if (a != b) a.swap(b);
  };
  swap(message_, other.message_);
  exchange(messageFormat_, other.messageFormat_);
  swap(level_, other.level_);
  swap(flag_, other.flag_);
  swap(context_, other.context_);
  exchange(file_, other.file_);
  exchange(fileName_, other.fileName_);
  if (function_ && other.function_) {
    exchange(*function_, *other.function_);
  } else {
    swap(function_, other.function_);
  }
  swap(line_, other.line_);
  swap(representedObject_, other.representedObject_);
  swap(options_, other.options_);
  swap(timestamp_, other.timestamp_);
  exchange(threadID_, other.threadID_);
  exchange(threadName_, other.threadName_);
  exchange(queueLabel_, other.queueLabel_);
  swap(qos_, other.qos_);
}

void LKLogMessage::release() {
  representedObject_.reset();
  // A record that once carried a long text would keep its storage for good.
  constexpr size_t kMostKept = 4096;
  for (std::string* text : {&message_, &messageFormat_, &file_, &fileName_, &threadName_, &queueLabel_})
    if (text->capacity() > kMostKept) std::string().swap(*text);
  if (function_ && function_->capacity() > kMostKept) function_.reset();
}

LKLogMessage LKLogMessage::withMessage(std::string message, uint64_t level, uint64_t flag, int64_t context,
                                       std::string file, std::optional<std::string> function, uint64_t line,
                                       LKLogTag tag, int64_t options, std::optional<ns::Date> timestamp) {
  std::string format = message;
  return LKLogMessage(std::move(format), std::move(message), level, flag, context, std::move(file),
                      std::move(function), line, std::move(tag), options, timestamp);
}

LKLogMessage LKLogMessage::withReplacedMessage(std::string message) const {
  LKLogMessage copy = *this;
  copy.message_ = std::move(message);
  return copy;
}

std::string LKLogMessage::fileNameFromPath(const std::string& file) {
  size_t slash = file.find_last_of('/');
  std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

bool LKLogMessage::operator==(const LKLogMessage& other) const {
  if (this == &other) return true;
  bool sameTag = representedObject_ == other.representedObject_ ||
                 (representedObject_ && other.representedObject_ && *representedObject_ == *other.representedObject_);
  return message_ == other.message_ && messageFormat_ == other.messageFormat_ && level_ == other.level_ &&
         flag_ == other.flag_ && context_ == other.context_ && file_ == other.file_ &&
         function_ == other.function_ && line_ == other.line_ && sameTag && timestamp_ == other.timestamp_ &&
         threadID_ == other.threadID_ && queueLabel_ == other.queueLabel_ && qos_ == other.qos_;
}

size_t LKLogMessage::hash() const {
  size_t h = 0;
  mix(h, message_);
  mix(h, messageFormat_);
  mix(h, file_);
  if (function_) mix(h, *function_);
  if (timestamp_) mix(h, timestamp_->timeIntervalSinceReferenceDate());
  mix(h, threadID_);
  mix(h, queueLabel_);
  if (representedObject_) mix(h, representedObject_->description());
  h ^= level_ ^ flag_ ^ static_cast<uint64_t>(context_) ^ line_ ^ qos_;
  return h;
}
