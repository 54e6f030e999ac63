// The older system-log service, kept inside the process (the host has no
// such service): messages are string-keyed records; sending one gives it an
// increasing "ASLMessageID" (and "Time"/"TimeNanoSec" when missing) and
// tells every observer, on its queue, that a message was added. Queries
// select messages by key conditions, in the order they were sent.
// Like the service, it keeps only the newest messages: at most
// kMessageBudget of them holding at most kByteBudget bytes of keys and
// values; older ones go first (a single larger message is kept alone).
// Safe to use from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/Dispatch/Queue.h"

namespace systemlog {

using LegacyMessage = std::map<std::string, std::string>;

struct LegacyCondition {
  enum class Op { Equal, NotEqual, NumericGreater, NumericGreaterOrEqual, NumericLessOrEqual };
  std::string key;
  Op op;
  std::string value;
  // A message without the key fails every condition but NotEqual.
  bool matches(const LegacyMessage& message) const;
};

class LegacyLogStore {
 public:
  static constexpr size_t kMessageBudget = 20000;
  static constexpr size_t kByteBudget = 8 * 1024 * 1024;

  static LegacyLogStore& shared();

  // Returns the message's identifier.
  uint64_t send(LegacyMessage message);
  std::vector<LegacyMessage> search(const std::vector<LegacyCondition>& query) const;
  void clear();

  using ObserverId = uint64_t;
  ObserverId addObserver(std::shared_ptr<dispatch::Queue> queue, std::function<void()> handler);
  void removeObserver(ObserverId id);

 private:
  LegacyLogStore() = default;
  mutable std::mutex mutex_;
  std::deque<LegacyMessage> messages_;
  size_t bytes_ = 0;
  uint64_t nextID_ = 1;
  ObserverId nextObserver_ = 1;
  std::map<ObserverId, std::pair<std::shared_ptr<dispatch::Queue>, std::function<void()>>> observers_;
};

}  // namespace systemlog
