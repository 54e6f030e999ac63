// One notification: a name, the object that sent it (shared, type-erased,
// compared by identity) and its user info.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "Platform/Foundation/Value.h"

namespace ns {

// A shared_ptr that refers to `object` without owning it, for senders that
// are not held by shared_ptr (the object is compared by address only).
inline std::shared_ptr<void> unownedObject(const void* object) {
  return std::shared_ptr<void>(std::shared_ptr<void>(), const_cast<void*>(object));
}

class Notification {
 public:
  Notification() = default;
  explicit Notification(std::string name, std::shared_ptr<void> object = nullptr, Dictionary userInfo = {})
      : name_(std::move(name)), object_(std::move(object)), userInfo_(std::move(userInfo)) {}

  const std::string& name() const { return name_; }
  // The sender, or null.
  const std::shared_ptr<void>& object() const { return object_; }
  // The sender as T; the caller knows what the notification's name implies.
  template <class T>
  std::shared_ptr<T> objectAs() const { return std::static_pointer_cast<T>(object_); }
  const Dictionary& userInfo() const { return userInfo_; }

 private:
  std::string name_;
  std::shared_ptr<void> object_;
  Dictionary userInfo_;
};

}  // namespace ns
