#include "Libraries/Logging/LKMultiFormatter.h"

#include <algorithm>

LKMultiFormatter::LKMultiFormatter()
    : queue_(dispatch::Queue::concurrent("logkit.multiformatter")),
      formatters_(std::make_shared<std::vector<std::shared_ptr<LKLogFormatter>>>()) {}

void LKMultiFormatter::addFormatter(std::shared_ptr<LKLogFormatter> formatter) {
  queue_->asyncBarrier([list = formatters_, formatter] { list->push_back(formatter); });
}

void LKMultiFormatter::removeFormatter(const std::shared_ptr<LKLogFormatter>& formatter) {
  queue_->asyncBarrier([list = formatters_, formatter] {
    auto it = std::find(list->begin(), list->end(), formatter);
    if (it != list->end()) list->erase(it);
  });
}

void LKMultiFormatter::removeAllFormatters() {
  queue_->asyncBarrier([list = formatters_] { list->clear(); });
}

std::vector<std::shared_ptr<LKLogFormatter>> LKMultiFormatter::formatters() {
  std::vector<std::shared_ptr<LKLogFormatter>> copy;
  queue_->sync([&] { copy = *formatters_; });
  return copy;
}

bool LKMultiFormatter::isFormattingWithFormatter(const std::shared_ptr<LKLogFormatter>& formatter) {
  bool found = false;
  queue_->sync([&] { found = std::find(formatters_->begin(), formatters_->end(), formatter) != formatters_->end(); });
  return found;
}

std::optional<std::string> LKMultiFormatter::formatLogMessage(const LKLogMessage& message) {
  std::optional<std::string> line = message.message();
  queue_->sync([&] {
    for (auto& formatter : *formatters_) {
      line = formatter->formatLogMessage(logMessageForLine(*line, message));
      if (!line) return;
    }
  });
  return line;
}
