// The device's notification centre for this app: authorization (granted or
// denied, as the device is set), pending requests with calendar triggers,
// delivered notifications and the delegate told about them.
//
// Pending and delivered notifications and the authorization persist in
// "notifications.plist" under the device directory, so a relaunch sees them.
// Answers (settings, pending and delivered lists, add completions) arrive on
// the centre's own serial queue, in the order they were asked for; `flush`
// waits for those asked so far. Nothing fires by itself: the host program
// and tests call deliverDueNotifications when the clock has moved.
// Safe to use from any thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Error.h"
#include "Platform/UserNotifications/NotificationRequest.h"

namespace dispatch {
class Queue;
}

namespace un {

class UserNotificationCenter;

class NotificationCenterDelegate {
 public:
  virtual ~NotificationCenterDelegate() = default;
  // A notification arrives while the app is in front; answer how to show it.
  virtual void willPresentNotification(UserNotificationCenter& center, const Notification& notification,
                                       std::function<void(unsigned options)> completionHandler) {
    (void)center, (void)notification;
    completionHandler(0);
  }
  // The user opened (or dismissed) a notification.
  virtual void didReceiveNotificationResponse(UserNotificationCenter& center, const NotificationResponse& response,
                                              std::function<void()> completionHandler) {
    (void)center, (void)response;
    completionHandler();
  }
};

class UserNotificationCenter {
 public:
  // The centre of the current device (a new device gets a new centre).
  static std::shared_ptr<UserNotificationCenter> currentNotificationCenter();

  // Held weakly.
  void setDelegate(const std::shared_ptr<NotificationCenterDelegate>& delegate);
  std::shared_ptr<NotificationCenterDelegate> delegate() const;

  void getNotificationSettings(std::function<void(NotificationSettings)> completionHandler);
  // Not determined yet: granted (the device's answer); else as it stands.
  void requestAuthorization(std::function<void(bool granted, const ns::Error*)> completionHandler);
  // The device's setting (host program and tests).
  void setAuthorizationStatus(AuthorizationStatus status);
  AuthorizationStatus authorizationStatus() const;

  // Adds, or replaces the request with the same identifier. Refused when
  // not authorized or the trigger can never fire (completion gets an error).
  void addNotificationRequest(const NotificationRequest& request,
                              std::function<void(const ns::Error*)> completionHandler = nullptr);
  void getPendingNotificationRequests(std::function<void(std::vector<NotificationRequest>)> completionHandler);
  void removePendingNotificationRequests(const std::vector<std::string>& identifiers);
  void removeAllPendingNotificationRequests();
  void getDeliveredNotifications(std::function<void(std::vector<Notification>)> completionHandler);
  void removeAllDeliveredNotifications();

  // Synchronous views for the host program and tests.
  std::vector<NotificationRequest> pendingRequests() const;
  std::vector<Notification> deliveredNotifications() const;

  // When the earliest pending request falls due (now or earlier for one
  // already due); absent with nothing pending.
  std::optional<ns::Date> nextDeliveryDate() const;
  // Moves every pending request whose trigger date is now or earlier to the
  // delivered list and, when the app is in front, asks the delegate how to
  // present each; returns what was delivered, in trigger order.
  std::vector<Notification> deliverDueNotifications(bool appInForeground = true);
  // The user taps a delivered notification: the delegate is told and the
  // notification leaves the delivered list. `completion` runs when the
  // delegate completes.
  void openNotification(const Notification& notification, std::function<void()> completion = nullptr);

  // What the delegate answered when the request's notification arrived in
  // front (0 when it was not asked).
  unsigned presentationOptions(const std::string& identifier) const;

  // Waits until the answers asked for so far have run.
  void flush();

  explicit UserNotificationCenter(std::string path);

 private:
  void load();
  void persistLocked();

  std::string path_;
  mutable std::mutex mutex_;
  std::weak_ptr<NotificationCenterDelegate> delegate_;
  AuthorizationStatus status_ = AuthorizationStatus::NotDetermined;
  std::vector<NotificationRequest> pending_;
  std::vector<Notification> delivered_;
  std::vector<std::pair<std::string, unsigned>> presented_;
  std::shared_ptr<dispatch::Queue> queue_;
};

}  // namespace un
