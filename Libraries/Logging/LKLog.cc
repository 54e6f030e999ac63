#include "Libraries/Logging/LKLog.h"

#include <algorithm>
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
  sharedInstance().queueLogMessage(LKLogMessage(message, message, level, flag, context, file, std::string(function),
                                                line, tagFrom(tag), LKLogMessageDontCopyMessage, std::nullopt),
                                   asynchronous);
}

void LKLog::log(bool asynchronous, LKLogMessage message) {
  sharedInstance().queueLogMessage(std::move(message), asynchronous);
}

void LKLog::queueLogMessage(LKLogMessage message, bool asynchronously) {
  const auto& queue = loggingQueue();
  if (asynchronously) {
    queue->async([this, message = std::move(message)] { lt_log(message); });
  } else if (isOnLoggingQueue()) {
    lt_log(message);
  } else {
    queue->sync([&] { lt_log(message); });
  }
}

void LKLog::lt_log(const LKLogMessage& message) {
  const uint64_t flag = message.flag();
  if (Globals::get().processorCount == 1) {
    for (const auto& node : loggers_) {
      if (node->level() & flag) {
        LKLogger* logger = node->logger().get();
        node->loggerQueue()->sync([logger, &message] { logger->logMessage(message); });
      }
    }
    return;
  }
  // One interested logger gains nothing from the group: waiting for it on
  // its queue is the same, without a thread hop.
  const LKLoggerNode* only = nullptr;
  size_t interested = 0;
  for (const auto& node : loggers_) {
    if (node->level() & flag) {
      only = node.get();
      ++interested;
    }
  }
  if (interested == 0) return;
  if (interested == 1) {
    LKLogger* logger = only->logger().get();
    only->loggerQueue()->sync([logger, &message] { logger->logMessage(message); });
    return;
  }
  dispatch::Group& group = Globals::get().group;
  for (const auto& node : loggers_) {
    if (node->level() & flag) {
      LKLogger* logger = node->logger().get();
      group.async(node->loggerQueue(), [logger, &message] { logger->logMessage(message); });
    }
  }
  group.wait();
}

void LKLog::addLogger(std::shared_ptr<LKLogger> logger, uint64_t level) {
  if (!logger) return;
  loggingQueue()->async([logger, level] { sharedInstance().lt_addLogger(logger, level); });
}

void LKLog::removeLogger(const std::shared_ptr<LKLogger>& logger) {
  if (!logger) return;
  loggingQueue()->async([logger] { sharedInstance().lt_removeLogger(logger); });
}

void LKLog::removeAllLoggers() {
  loggingQueue()->async([] { sharedInstance().lt_removeAllLoggers(); });
}

std::vector<std::shared_ptr<LKLogger>> LKLog::allLoggers() {
  std::vector<std::shared_ptr<LKLogger>> result;
  loggingQueue()->sync([&] {
    for (const auto& node : sharedInstance().loggers_) result.push_back(node->logger());
  });
  return result;
}

std::vector<LKLoggerInformation> LKLog::allLoggersWithLevel() {
  std::vector<LKLoggerInformation> result;
  loggingQueue()->sync([&] {
    for (const auto& node : sharedInstance().loggers_) {
      result.push_back(LKLoggerInformation::informationWithLogger(node->logger(), node->level()));
    }
  });
  return result;
}

void LKLog::flushLog() {
  loggingQueue()->sync([] { sharedInstance().lt_flush(); });
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
