#include "Platform/SystemLog/LegacyLogStore.h"

#include <cstdlib>

#include "Platform/Foundation/Clock.h"

namespace systemlog {

namespace {

size_t sizeOf(const LegacyMessage& message) {
  size_t bytes = 0;
  for (const auto& [key, value] : message) bytes += key.size() + value.size();
  return bytes;
}

bool numeric(const std::string& text, long double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  out = std::strtold(text.c_str(), &end);
  return end && *end == '\0';
}

}  // namespace

bool LegacyCondition::matches(const LegacyMessage& message) const {
  auto it = message.find(key);
  if (it == message.end()) return op == Op::NotEqual;
  switch (op) {
    case Op::Equal: return it->second == value;
    case Op::NotEqual: return it->second != value;
    default: break;
  }
  long double have, want;
  if (!numeric(it->second, have) || !numeric(value, want)) return false;
  switch (op) {
    case Op::NumericGreater: return have > want;
    case Op::NumericGreaterOrEqual: return have >= want;
    case Op::NumericLessOrEqual: return have <= want;
    default: return false;
  }
}

LegacyLogStore& LegacyLogStore::shared() {
  static LegacyLogStore* store = new LegacyLogStore();  // lives for the whole process
  return *store;
}

uint64_t LegacyLogStore::send(LegacyMessage message) {
  std::vector<std::pair<std::shared_ptr<dispatch::Queue>, std::function<void()>>> toTell;
  uint64_t id;
  {
    std::lock_guard lock(mutex_);
    id = nextID_++;
    message["ASLMessageID"] = std::to_string(id);
    if (!message.count("Time")) {
      double now = ns::Clock::now().timeIntervalSince1970();
      auto seconds = static_cast<long long>(now);
      message["Time"] = std::to_string(seconds);
      message["TimeNanoSec"] = std::to_string(static_cast<long long>((now - static_cast<double>(seconds)) * 1e9));
    }
    bytes_ += sizeOf(message);
    messages_.push_back(std::move(message));
    while (messages_.size() > 1 && (messages_.size() > kMessageBudget || bytes_ > kByteBudget)) {
      bytes_ -= sizeOf(messages_.front());
      messages_.pop_front();
    }
    for (auto& [observerId, observer] : observers_) toTell.push_back(observer);
  }
  for (auto& [queue, handler] : toTell) queue->async(handler);
  return id;
}

std::vector<LegacyMessage> LegacyLogStore::search(const std::vector<LegacyCondition>& query) const {
  std::lock_guard lock(mutex_);
  std::vector<LegacyMessage> found;
  for (const auto& message : messages_) {
    bool all = true;
    for (const auto& condition : query) all = all && condition.matches(message);
    if (all) found.push_back(message);
  }
  return found;
}

void LegacyLogStore::clear() {
  std::lock_guard lock(mutex_);
  messages_.clear();
  bytes_ = 0;
}

LegacyLogStore::ObserverId LegacyLogStore::addObserver(std::shared_ptr<dispatch::Queue> queue,
                                                       std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  ObserverId id = nextObserver_++;
  observers_[id] = {std::move(queue), std::move(handler)};
  return id;
}

void LegacyLogStore::removeObserver(ObserverId id) {
  std::lock_guard lock(mutex_);
  observers_.erase(id);
}

}  // namespace systemlog
