#include "Libraries/Logging/LKLog.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "Platform/Dispatch/Group.h"
#include "Platform/Foundation/NotificationCenter.h"

namespace {

// Set up before any instance exists: the queue, its key, the group and the
// processor count.
struct Globals {
  Globals() : queue(dispatch::Queue::serial("logkit")) {
    queue->setSpecific(&key, &key);
    unsigned count = std::thread::hardware_concurrency();
    processorCount = count == 0 ? 1 : count;
  }
  static Globals& get() {
    static Globals globals;
    return globals;
  }
  std::shared_ptr<dispatch::Queue> queue;
  inline static char key = 0;
  dispatch::Group group;
  unsigned processorCount = 1;
};

struct ClassRegistry {
  std::mutex mutex;
  std::vector<LKLogRegisteredClass> classes;
  static ClassRegistry& get() {
    static ClassRegistry registry;
    return registry;
  }
  std::optional<LKLogRegisteredClass> find(const std::string& name) {
    std::lock_guard lock(mutex);
    for (auto& c : classes) {
      if (c.name == name) return c;
    }
    return std::nullopt;
  }
};

}  // namespace

LKLog& LKLog::sharedInstance() {
  static LKLog* instance = new LKLog();  // lives for the whole process
  return *instance;
}

LKLog::LKLog() {
  loggers_.reserve(4);
  ns::NotificationCenter::defaultCenter().addObserver(this, [](const ns::Notification&) { flushLog(); },
                                                      kApplicationWillTerminateNotification, nullptr);
}

const std::shared_ptr<dispatch::Queue>& LKLog::loggingQueue() { return Globals::get().queue; }

bool LKLog::isOnLoggingQueue() {
  Globals::get();
  return dispatch::Queue::currentSpecific(&Globals::key) == &Globals::key;
}

void LKLog::log(bool asynchronous, uint64_t level, uint64_t flag, int64_t context, const char* file,
                const char* function, uint64_t line, const ns::Value* tag, const std::string& message) {
  if (asynchronous) {
    sharedInstance().queueReusedRecord(level, flag, context, file, function, line, tag, message, &message, {});
    return;
  }
  sharedInstance().queueLogMessage(LKLogMessage(message, message, level, flag, context, file, std::string(function),
                                                line, tagFrom(tag), LKLogMessageDontCopyMessage, std::nullopt),
                                   asynchronous);
}

void LKLog::log(bool asynchronous, LKLogMessage message) {
  sharedInstance().queueLogMessage(std::move(message), asynchronous);
}

void LKLog::performOnLoggingQueue(std::function<void()> block) {
  LKLog& log = sharedInstance();
  std::lock_guard lock(log.pendingMutex_);
  ++log.epoch_;
  log.arrivals_.fetch_add(1, std::memory_order_release);
  log.drainScheduled_ = false;
  loggingQueue()->async(std::move(block));
}

void LKLog::performOnLoggingQueueAndWait(const std::function<void()>& block) {
  if (isOnLoggingQueue()) {
    block();
    return;
  }
  LKLog& log = sharedInstance();
  {
    std::lock_guard lock(log.pendingMutex_);
    ++log.epoch_;
    log.arrivals_.fetch_add(1, std::memory_order_release);
    log.drainScheduled_ = false;
  }
  loggingQueue()->sync(block);
}

namespace {

// Set once the thread's own record (in queueReusedRecord) is destroyed;
// trivially destructible, so readable to the thread's very end.
thread_local bool threadRecordGone = false;

// The spent records kept on either side after a burst of more than twice
// as many; a few MiB at most.
constexpr size_t kMostSpareRecords = 4096;

}  // namespace

void LKLog::lt_enqueueLocked(LKLogMessage& record, bool swapIn) {
  if (pendingCount_ < pendingMessages_.size()) {
    // A spent record takes the caller's place (and storage) in exchange.
    if (swapIn) {
      pendingMessages_[pendingCount_].swapWith(record);
    } else {
      pendingMessages_[pendingCount_] = std::move(record);
    }
  } else {
    pendingMessages_.push_back(std::move(record));
  }
  ++pendingCount_;
  pendingEpochs_.push_back(epoch_);
  arrivals_.fetch_add(1, std::memory_order_release);
  if (!drainScheduled_) {
    drainScheduled_ = true;
    uint64_t epoch = epoch_;
    loggingQueue()->async([this, epoch] { lt_drain(epoch); });
  }
}

void LKLog::queueReusedRecord(uint64_t level, uint64_t flag, int64_t context, const char* file,
                              const char* function, uint64_t line, const ns::Value* tag, std::string_view format,
                              const std::string* formatted, std::span<const ns::FormatArg> args) {
  // The thread's own record, filled outside the lock into storage that a
  // spent record left it, then exchanged for the next spent one. A thread
  // that logs while it ends, after its record went, uses one of the call's.
  struct ThreadRecord {
    LKLogMessage record;
    ~ThreadRecord() { threadRecordGone = true; }
  };
  thread_local ThreadRecord threadRecord;
  std::optional<LKLogMessage> callRecord;
  LKLogMessage& record = threadRecordGone ? callRecord.emplace() : threadRecord.record;
  if (formatted) {
    record.message_.assign(*formatted);
  } else {
    ns::formatArgsInto(record.message_, format, args);
  }
  record.refill(format, level, flag, context, file, function, line, tagFrom(tag), LKLogMessageDontCopyMessage);
  std::lock_guard lock(pendingMutex_);
  lt_enqueueLocked(record, true);
}

void LKLog::queueLogMessage(LKLogMessage message, bool asynchronously) {
  if (asynchronously) {
    std::lock_guard lock(pendingMutex_);
    lt_enqueueLocked(message, false);
    return;
  }
  performOnLoggingQueueAndWait([&] { lt_log(message); });
}

bool LKLog::waitForArrivals(uint64_t seen, uint64_t wanted, std::chrono::microseconds most) {
  const auto until = std::chrono::steady_clock::now() + most;
  // Watches the counter, not the queue: taking the callers' lock over and
  // over would make each of them wait for it.
  for (;;) {
    if (arrivals_.load(std::memory_order_acquire) - seen >= wanted) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::yield();
  }
}

void LKLog::lt_drain(uint64_t epoch) {
  // Keeps taking what gathered while it works, so that a steady stream of
  // records needs no further block (nor a wake-up per record). The batch is
  // swapped with the callers' vector and both keep their records, so that
  // neither they nor their strings grow from nothing at every batch.
  //
  // A drain as quick as its caller would otherwise take the records one or
  // two at a time, and the two would spend their time handing the lock and
  // the records' memory back and forth: a few records wait a moment for
  // more to join them.
  constexpr size_t kGather = 256;
  constexpr auto kGatherWait = std::chrono::microseconds(50);
  constexpr auto kLinger = std::chrono::microseconds(50);
  std::vector<LKLogMessage>& batch = lt_batch_;
  bool lingered = false;
  bool gathered = false;
  for (;;) {
    size_t taken = 0;
    uint64_t seen = 0;
    size_t few = 0;
    {
      std::lock_guard lock(pendingMutex_);
      seen = arrivals_.load(std::memory_order_relaxed);
      if (!gathered && pendingCount_ > 0 && pendingCount_ < kGather && epoch_ == epoch) {
        few = pendingCount_;
      } else if (pendingCount_ > 0 && pendingEpochs_.back() <= epoch) {
        // All of them (the usual case): taken in one swap, so loggers never
        // hold up callers on this lock.
        batch.swap(pendingMessages_);
        taken = pendingCount_;
        pendingCount_ = 0;
        pendingEpochs_.clear();
      } else {
        while (taken < pendingCount_ && pendingEpochs_[taken] <= epoch) ++taken;
        if (batch.size() < taken) batch.resize(taken);
        for (size_t i = 0; i < taken; ++i) batch[i].swapWith(pendingMessages_[i]);
        // The records still waiting move to the front, the spent ones
        // just exchanged behind them.
        std::rotate(pendingMessages_.begin(), pendingMessages_.begin() + static_cast<std::ptrdiff_t>(taken),
                    pendingMessages_.begin() + static_cast<std::ptrdiff_t>(pendingCount_));
        pendingCount_ -= taken;
        pendingEpochs_.erase(pendingEpochs_.begin(), pendingEpochs_.begin() + static_cast<std::ptrdiff_t>(taken));
      }
      if (few == 0 && taken == 0 && (lingered || epoch_ != epoch)) {
        // Later records of this epoch need a block of their own (a newer
        // epoch's records already have theirs).
        if (epoch_ == epoch) drainScheduled_ = false;
        return;
      }
    }
    if (few > 0) {
      gathered = true;
      waitForArrivals(seen, kGather - few, kGatherWait);
      continue;
    }
    if (taken == 0) {
      // A caller that logs in a loop is usually a few microseconds from its
      // next record: waiting that long here saves it waking a thread for
      // every record.
      lingered = !waitForArrivals(seen, 1, kLinger);
      continue;
    }
    gathered = false;
    lt_logBatch(std::span<const LKLogMessage>(batch.data(), taken));
    // Let go of what the records hold now (not when they are filled
    // again), keeping their storage.
    for (size_t i = 0; i < taken; ++i) batch[i].release();
    // Past twice the bound only, so that bursts near it do not make and
    // drop records at every batch.
    if (batch.size() > 2 * kMostSpareRecords) batch.resize(kMostSpareRecords);
  }
}

void LKLog::lt_log(const LKLogMessage& message) { lt_logBatch({&message, 1}); }

void LKLog::lt_logBatch(std::span<const LKLogMessage> batch) {
  struct Work {
    LKLoggerNode* node;
    std::vector<const LKLogMessage*> records;
  };
  std::vector<Work> work;
  for (const auto& node : loggers_) {
    Work w{node.get(), {}};
    for (const auto& message : batch) {
      if (node->level() & message.flag()) w.records.push_back(&message);
    }
    if (!w.records.empty()) work.push_back(std::move(w));
  }
  auto deliver = [](const Work& w) {
    return [&w] {
      w.node->logger()->logMessages(w.records);
    };
  };
  // One processor, or one interested logger: run them one after another,
  // waiting on each logger's queue (which runs the block on this thread).
  if (Globals::get().processorCount == 1 || work.size() == 1) {
    for (const auto& w : work) w.node->loggerQueue()->sync(deliver(w));
    return;
  }
  if (work.empty()) return;
  dispatch::Group& group = Globals::get().group;
  for (const auto& w : work) group.async(w.node->loggerQueue(), deliver(w));
  group.wait();
}

void LKLog::addLogger(std::shared_ptr<LKLogger> logger, uint64_t level) {
  if (!logger) return;
  performOnLoggingQueue([logger, level] { sharedInstance().lt_addLogger(logger, level); });
}

void LKLog::removeLogger(const std::shared_ptr<LKLogger>& logger) {
  if (!logger) return;
  performOnLoggingQueue([logger] { sharedInstance().lt_removeLogger(logger); });
}

void LKLog::removeAllLoggers() {
  performOnLoggingQueue([] { sharedInstance().lt_removeAllLoggers(); });
}

std::vector<std::shared_ptr<LKLogger>> LKLog::allLoggers() {
  std::vector<std::shared_ptr<LKLogger>> result;
  performOnLoggingQueueAndWait([&] {
    for (const auto& node : sharedInstance().loggers_) result.push_back(node->logger());
  });
  return result;
}

std::vector<LKLoggerInformation> LKLog::allLoggersWithLevel() {
  std::vector<LKLoggerInformation> result;
  performOnLoggingQueueAndWait([&] {
    for (const auto& node : sharedInstance().loggers_) {
      result.push_back(LKLoggerInformation::informationWithLogger(node->logger(), node->level()));
    }
  });
  return result;
}

void LKLog::flushLog() {
  performOnLoggingQueueAndWait([] { sharedInstance().lt_flush(); });
}

void LKLog::lt_addLogger(const std::shared_ptr<LKLogger>& logger, uint64_t level) {
  for (const auto& node : loggers_) {
    if (node->logger() == logger && node->level() == level) return;
  }
  std::shared_ptr<dispatch::Queue> queue = logger->loggerQueue();
  if (!queue) queue = dispatch::Queue::serial(logger->loggerName());
  loggers_.push_back(LKLoggerNode::nodeWithLogger(logger, queue, level));
  queue->async([logger, queue] { logger->didAddLoggerInQueue(queue); });
}

void LKLog::lt_removeLogger(const std::shared_ptr<LKLogger>& logger) {
  auto it = std::find_if(loggers_.begin(), loggers_.end(),
                         [&](const auto& node) { return node->logger() == logger; });
  if (it == loggers_.end()) return;
  (*it)->loggerQueue()->async([logger] { logger->willRemoveLogger(); });
  loggers_.erase(it);
}

void LKLog::lt_removeAllLoggers() {
  for (const auto& node : loggers_) {
    std::shared_ptr<LKLogger> logger = node->logger();
    node->loggerQueue()->async([logger] { logger->willRemoveLogger(); });
  }
  loggers_.clear();
}

void LKLog::lt_flush() {
  dispatch::Group& group = Globals::get().group;
  for (const auto& node : loggers_) {
    std::shared_ptr<LKLogger> logger = node->logger();
    group.async(node->loggerQueue(), [logger] { logger->flush(); });
  }
  group.wait();
}

void LKLog::registerClass(LKLogRegisteredClass registeredClass) {
  if (registeredClass.name.empty() || !registeredClass.logLevel || !registeredClass.setLogLevel) return;
  auto& registry = ClassRegistry::get();
  std::lock_guard lock(registry.mutex);
  registry.classes.push_back(std::move(registeredClass));
}

bool LKLog::isRegisteredClass(const std::string& className) {
  return ClassRegistry::get().find(className).has_value();
}

std::vector<LKLogRegisteredClass> LKLog::registeredClasses() {
  auto& registry = ClassRegistry::get();
  std::lock_guard lock(registry.mutex);
  return registry.classes;
}

std::vector<std::string> LKLog::registeredClassNames() {
  std::vector<std::string> names;
  for (auto& c : registeredClasses()) names.push_back(c.name);
  return names;
}

uint64_t LKLog::levelForClassWithName(const std::string& className) {
  auto c = ClassRegistry::get().find(className);
  return c ? c->logLevel() : LKLogLevelAll;
}

void LKLog::setLevelForClassWithName(uint64_t level, const std::string& className) {
  if (auto c = ClassRegistry::get().find(className)) c->setLogLevel(level);
}
