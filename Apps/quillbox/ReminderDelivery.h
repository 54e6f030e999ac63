// Reminders arrive as the clock passes their dates, as on a device: a timer
// on the main queue stands at the date of the earliest pending notification;
// when it fires, what is due is delivered (shown through the app's delegate
// while the app is in front) and kept for the host to print. The timer is
// set again after every action, since the app adds and removes requests as
// notes are saved. `notify` still delivers what is due at once.
#pragma once

#include <memory>
#include <vector>

#include "Platform/UserNotifications/NotificationRequest.h"

namespace quillbox {

class ReminderDelivery {
 public:
  ReminderDelivery();
  ~ReminderDelivery();
  ReminderDelivery(const ReminderDelivery&) = delete;
  ReminderDelivery& operator=(const ReminderDelivery&) = delete;

  // Sets the timer for the earliest pending request (none without one).
  void arm();
  // Delivers what is due now; returns it.
  static std::vector<un::Notification> deliverDue();
  // The notifications the timer delivered since the last call.
  std::vector<un::Notification> takeDelivered();

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace quillbox
