// An in-memory cache of values by key, as the platform's cache object: it
// keeps at most `countLimit` entries (0: no limit) and may let any entry go,
// so a miss only means "ask the source". Here the least recently used entry
// goes first once the limit is passed; a lookup counts as a use.
//
// Thread-safe in itself: every call takes the cache's own lock.
#pragma once

#include <cstddef>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace ns {

template <class Key, class Value>
class Cache {
 public:
  explicit Cache(size_t countLimit = 0) : countLimit_(countLimit) {}
  Cache(const Cache&) = delete;
  Cache& operator=(const Cache&) = delete;

  size_t countLimit() const {
    std::lock_guard lock(mutex_);
    return countLimit_;
  }
  void setCountLimit(size_t limit) {
    std::lock_guard lock(mutex_);
    countLimit_ = limit;
    evictOverLimit();
  }

  std::optional<Value> objectForKey(const Key& key) {
    std::lock_guard lock(mutex_);
    auto found = index_.find(key);
    if (found == index_.end()) return std::nullopt;
    entries_.splice(entries_.begin(), entries_, found->second);
    return found->second->second;
  }

  void setObject(Value value, const Key& key) {
    std::lock_guard lock(mutex_);
    auto found = index_.find(key);
    if (found != index_.end()) {
      found->second->second = std::move(value);
      entries_.splice(entries_.begin(), entries_, found->second);
      return;
    }
    entries_.emplace_front(key, std::move(value));
    index_.emplace(key, entries_.begin());
    evictOverLimit();
  }

  void removeObjectForKey(const Key& key) {
    std::lock_guard lock(mutex_);
    auto found = index_.find(key);
    if (found == index_.end()) return;
    entries_.erase(found->second);
    index_.erase(found);
  }

  void removeAllObjects() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    index_.clear();
  }

 private:
  using Entries = std::list<std::pair<Key, Value>>;  // most recently used first

  void evictOverLimit() {
    while (countLimit_ != 0 && entries_.size() > countLimit_) {
      index_.erase(entries_.back().first);
      entries_.pop_back();
    }
  }

  mutable std::mutex mutex_;
  size_t countLimit_;
  Entries entries_;
  std::map<Key, typename Entries::iterator> index_;
};

}  // namespace ns
