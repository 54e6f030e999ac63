// Process-wide broadcast of notifications to observers registered by name
// and sender.
//
// An observer names the notification (empty: any name) and the sender it
// wants (null: any sender; senders are compared by address). Posting calls
// each matching observer synchronously on the posting thread, in order of
// registration; an observer that named an executor (a queue) gets its block
// queued there instead, or run in place when the poster already runs on it.
// Observers may add and remove observers, and post, from inside a block.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/Executor.h"
#include "Platform/Foundation/Notification.h"

namespace ns {

class NotificationCenter {
 public:
  using Block = std::function<void(const Notification&)>;

  // What a block registration returns; hand it back to removeObserver.
  class Token {
   public:
    uint64_t id() const { return id_; }
    explicit Token(uint64_t id) : id_(id) {}

   private:
    uint64_t id_;
  };
  using TokenPtr = std::shared_ptr<const Token>;

  NotificationCenter();
  ~NotificationCenter();
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  // The process-wide centre.
  static NotificationCenter& defaultCenter();

  // Registers a block observer. `queue` null: the block runs on the posting
  // thread. The registration lasts until removed with the returned token.
  TokenPtr addObserver(std::string_view name, const void* object, std::shared_ptr<Executor> queue,
                       Block block);

  // Registers `observer` (identity only) to get `block` called for matching
  // notifications; removeObserver(observer) undoes every such registration.
  void addObserver(const void* observer, Block block, std::string_view name, const void* object);

  // Removes a block registration. A null token is ignored.
  void removeObserver(const TokenPtr& token);
  // Removes every registration made for `observer`.
  void removeObserver(const void* observer);
  // Removes the registrations of `observer` for `name` (empty: any) and
  // `object` (null: any).
  void removeObserver(const void* observer, std::string_view name, const void* object);

  void post(const Notification& notification);
  // Whether a notification of that name from that sender would reach any
  // observer now: a poster whose user info is costly to make asks first.
  bool hasObservers(std::string_view name, const void* object);
  void post(std::string name, std::shared_ptr<void> object = nullptr, Dictionary userInfo = {});

 private:
  struct Registration;
  std::mutex mutex_;
  uint64_t nextId_ = 1;
  std::vector<std::shared_ptr<Registration>> registrations_;
};

}  // namespace ns
