#include "Libraries/Logging/LKDispatchQueueLogFormatter.h"

#include "Libraries/Logging/LKLogMessage.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Format.h"

namespace {

// A record made on a global queue shows its thread instead: the label says
// nothing about where it came from.
bool isGlobalQueueLabel(const std::string& label) {
  for (auto priority : {dispatch::Priority::High, dispatch::Priority::Default, dispatch::Priority::Utility,
                        dispatch::Priority::Background}) {
    if (dispatch::Queue::global(priority)->label() == label) return true;
  }
  return false;
}

}  // namespace

LKDispatchQueueLogFormatter::LKDispatchQueueLogFormatter() {
  replacements_[dispatch::Queue::main()->label()] = "main";
}

std::unique_ptr<ns::DateFormatter> LKDispatchQueueLogFormatter::createDateFormatter() {
  auto formatter = std::make_unique<ns::DateFormatter>();
  configureDateFormatter(*formatter);
  return formatter;
}

void LKDispatchQueueLogFormatter::configureDateFormatter(ns::DateFormatter& formatter) {
  formatter.setDateFormat("yyyy-MM-dd HH:mm:ss:SSS");
  formatter.setLocale(ns::Locale::posix());
  formatter.setTimeZone(ns::TimeZone::system());
}

std::string LKDispatchQueueLogFormatter::stringFromDate(ns::Date date) {
  std::call_once(dateFormatterOnce_, [this] { dateFormatter_ = createDateFormatter(); });
  return dateFormatter_->stringFromDate(date);
}

std::optional<std::string> LKDispatchQueueLogFormatter::replacementStringForQueueLabel(const std::string& label) {
  std::lock_guard lock(mutex_);
  auto it = replacements_.find(label);
  if (it == replacements_.end()) return std::nullopt;
  return it->second;
}

void LKDispatchQueueLogFormatter::setReplacementStringForQueueLabel(const std::optional<std::string>& replacement,
                                                                    const std::string& label) {
  std::lock_guard lock(mutex_);
  if (replacement) {
    replacements_[label] = *replacement;
  } else {
    replacements_.erase(label);
  }
}

std::string LKDispatchQueueLogFormatter::queueThreadLabelForLogMessage(const LKLogMessage& message) {
  std::string label;
  if (!message.queueLabel().empty() && !isGlobalQueueLabel(message.queueLabel())) {
    label = replacementStringForQueueLabel(message.queueLabel()).value_or(message.queueLabel());
  } else if (!message.threadName().empty()) {
    label = replacementStringForQueueLabel(message.threadName()).value_or(message.threadName());
  } else {
    label = message.threadID();
  }
  if (maxQueueLength_ != 0 && label.size() > maxQueueLength_) {
    label.resize(maxQueueLength_);
  } else if (label.size() < minQueueLength_) {
    label.append(minQueueLength_ - label.size(), ' ');
  }
  return label;
}

const char* LKDispatchQueueLogFormatter::qosCode(uint64_t qos) {
  switch (qos) {
    case LKQualityOfServiceBackground: return "BG";
    case LKQualityOfServiceUtility: return "UT";
    case LKQualityOfServiceDefault: return "DF";
    case LKQualityOfServiceUserInitiated: return "IN";
    case LKQualityOfServiceUserInteractive: return "UI";
    default: return "UN";
  }
}

std::optional<std::string> LKDispatchQueueLogFormatter::formatLogMessage(const LKLogMessage& message) {
  return ns::format("%@ [%@ (QOS:%@)] %@", stringFromDate(message.timestamp().value_or(ns::Date())),
                    queueThreadLabelForLogMessage(message), qosCode(message.qos()), message.message());
}
