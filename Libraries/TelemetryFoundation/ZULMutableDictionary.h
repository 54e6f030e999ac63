// ZULMutableDictionary: a dictionary shared across threads, guarded by its
// own serial queue "ZULMutableDictionary". Writes are queued (asynchronous),
// reads wait on the same queue (synchronous), so a read issued after a write
// on any thread sees that write.
//
// Do not call it from inside a block running on its own queue: a read there
// would wait on itself (the queue throws ns::Exception instead).
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Format.h"

template <class Key, class Value>
class ZULMutableDictionary {
 public:
  using Map = std::map<Key, Value>;

  ZULMutableDictionary()
      : objects_(std::make_shared<Map>()), queue_(dispatch::Queue::serial("ZULMutableDictionary")) {}
  ZULMutableDictionary(const ZULMutableDictionary&) = delete;
  ZULMutableDictionary& operator=(const ZULMutableDictionary&) = delete;

  std::optional<Value> objectForKey(const Key& key) const {
    std::optional<Value> found;
    queue_->sync([&] {
      auto it = objects_->find(key);
      if (it != objects_->end()) found = it->second;
    });
    return found;
  }
  std::optional<Value> objectForKeyedSubscript(const Key& key) const { return objectForKey(key); }

  size_t count() const {
    size_t n = 0;
    queue_->sync([&] { n = objects_->size(); });
    return n;
  }

  // A copy of the contents.
  Map dictionary() const {
    Map copy;
    queue_->sync([&] { copy = *objects_; });
    return copy;
  }

  // "{\n    key = value;\n}", keys in order; needs keys and values that
  // ns::format's "%@" prints.
  std::string description() const {
    std::string text = "{\n";
    queue_->sync([&] {
      for (const auto& [key, value] : *objects_) text += ns::format("    %@ = %@;\n", key, value);
    });
    return text + "}";
  }

  void setObject(Value value, Key key) {
    queue_->async([objects = objects_, key = std::move(key), value = std::move(value)]() mutable {
      objects->insert_or_assign(std::move(key), std::move(value));
    });
  }
  // Nothing removes the key.
  void setObjectForKeyedSubscript(std::optional<Value> value, Key key) {
    if (value) {
      setObject(std::move(*value), std::move(key));
    } else {
      removeObjectForKey(std::move(key));
    }
  }
  void removeObjectForKey(Key key) {
    queue_->async([objects = objects_, key = std::move(key)] { objects->erase(key); });
  }
  void removeAllObjects() {
    queue_->async([objects = objects_] { objects->clear(); });
  }

 private:
  // Shared with queued writes, which may outlive this object.
  std::shared_ptr<Map> objects_;
  std::shared_ptr<dispatch::Queue> queue_;
};
