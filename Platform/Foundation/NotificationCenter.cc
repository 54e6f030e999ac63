#include "Platform/Foundation/NotificationCenter.h"

#include <atomic>

namespace ns {

struct NotificationCenter::Registration {
  uint64_t id;
  const void* observer;  // null for block registrations
  std::string name;      // empty: any
  const void* object;    // null: any
  std::shared_ptr<Executor> queue;
  Block block;
  std::atomic<bool> removed{false};

  bool matches(std::string_view postedName, const void* sender) const {
    return (name.empty() || name == postedName) && (!object || object == sender);
  }
  bool matches(const Notification& n) const { return matches(n.name(), n.object().get()); }
};

NotificationCenter::NotificationCenter() = default;
NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter center;
  return center;
}

NotificationCenter::TokenPtr NotificationCenter::addObserver(std::string_view name, const void* object,
                                                             std::shared_ptr<Executor> queue, Block block) {
  auto reg = std::make_shared<Registration>();
  reg->observer = nullptr;
  reg->name = std::string(name);
  reg->object = object;
  reg->queue = std::move(queue);
  reg->block = std::move(block);
  std::lock_guard lock(mutex_);
  reg->id = nextId_++;
  registrations_.push_back(reg);
  return std::make_shared<const Token>(reg->id);
}

void NotificationCenter::addObserver(const void* observer, Block block, std::string_view name, const void* object) {
  if (!observer) return;
  auto reg = std::make_shared<Registration>();
  reg->observer = observer;
  reg->name = std::string(name);
  reg->object = object;
  reg->block = std::move(block);
  std::lock_guard lock(mutex_);
  reg->id = nextId_++;
  registrations_.push_back(reg);
}

void NotificationCenter::removeObserver(const TokenPtr& token) {
  if (!token) return;
  std::vector<std::shared_ptr<Registration>> removed;  // blocks released outside the lock
  std::lock_guard lock(mutex_);
  std::erase_if(registrations_, [&](const std::shared_ptr<Registration>& r) {
    if (r->id != token->id()) return false;
    r->removed = true;
    removed.push_back(r);
    return true;
  });
}

void NotificationCenter::removeObserver(const void* observer) {
  removeObserver(observer, {}, nullptr);
}

void NotificationCenter::removeObserver(const void* observer, std::string_view name, const void* object) {
  if (!observer) return;
  std::vector<std::shared_ptr<Registration>> removed;
  std::lock_guard lock(mutex_);
  std::erase_if(registrations_, [&](const std::shared_ptr<Registration>& r) {
    if (r->observer != observer) return false;
    if (!name.empty() && r->name != name) return false;
    if (object && r->object != object) return false;
    r->removed = true;
    removed.push_back(r);
    return true;
  });
}

void NotificationCenter::post(const Notification& notification) {
  std::vector<std::shared_ptr<Registration>> matching;
  {
    std::lock_guard lock(mutex_);
    for (auto& r : registrations_) {
      if (r->matches(notification)) matching.push_back(r);
    }
  }
  // Outside the lock: observers may register, remove and post in turn.
  for (auto& r : matching) {
    if (r->removed) continue;
    if (r->queue && !r->queue->isCurrent()) {
      r->queue->execute([r, notification] {
        if (!r->removed) r->block(notification);
      });
    } else {
      r->block(notification);
    }
  }
}

bool NotificationCenter::hasObservers(std::string_view name, const void* object) {
  std::lock_guard lock(mutex_);
  for (const auto& r : registrations_) {
    if (r->matches(name, object)) return true;
  }
  return false;
}

void NotificationCenter::post(std::string name, std::shared_ptr<void> object, Dictionary userInfo) {
  post(Notification(std::move(name), std::move(object), std::move(userInfo)));
}

}  // namespace ns
