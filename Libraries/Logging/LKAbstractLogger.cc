#include "Libraries/Logging/LKAbstractLogger.h"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

#include "Libraries/Logging/LKLog.h"

std::string LKAbstractLogger::loggerName() {
  const char* mangled = typeid(*this).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : mangled;
  std::free(demangled);
  return name;
}

std::shared_ptr<dispatch::Queue> LKAbstractLogger::loggerQueue() {
  std::call_once(queueOnce_, [this] {
    if (!loggerQueue_) loggerQueue_ = dispatch::Queue::serial(loggerName());
    loggerQueue_->setSpecific(this, this);
  });
  return loggerQueue_;
}

void LKAbstractLogger::setLoggerQueue(std::shared_ptr<dispatch::Queue> queue) { loggerQueue_ = std::move(queue); }

bool LKAbstractLogger::isOnGlobalLoggingQueue() const { return LKLog::isOnLoggingQueue(); }

bool LKAbstractLogger::isOnInternalLoggerQueue() {
  loggerQueue();
  return dispatch::Queue::currentSpecific(this) == this;
}

void LKAbstractLogger::performOnLoggerQueue(std::function<void()> block) {
  if (isOnInternalLoggerQueue()) {
    block();
    return;
  }
  auto queue = loggerQueue();
  LKLog::performOnLoggingQueue([queue, block = std::move(block)] { queue->async(block); });
}

void LKAbstractLogger::performOnLoggerQueueAndWait(const std::function<void()>& block) {
  auto queue = loggerQueue();
  LKLog::performOnLoggingQueueAndWait([&] { queue->sync(block); });
}

std::shared_ptr<LKLogFormatter> LKAbstractLogger::logFormatter() {
  std::shared_ptr<LKLogFormatter> result;
  performOnLoggerQueueAndWait([&] { result = logFormatter_; });
  return result;
}

void LKAbstractLogger::setLogFormatter(std::shared_ptr<LKLogFormatter> formatter) {
  auto self = shared_from_this();
  auto queue = loggerQueue();
  LKLog::performOnLoggingQueue([self, queue, formatter] {
    queue->async([self, queue, formatter] {
      if (formatter == self->logFormatter_) return;
      if (self->logFormatter_) self->logFormatter_->willRemoveFromLogger(*self);
      self->logFormatter_ = formatter;
      if (formatter) formatter->didAddToLoggerInQueue(*self, queue);
    });
  });
}
