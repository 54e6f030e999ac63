#include "Apps/quillbox/ReminderDelivery.h"

#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/TimerSource.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UserNotifications/UserNotificationCenter.h"

namespace quillbox {

struct ReminderDelivery::State {
  std::shared_ptr<dispatch::TimerSource> timer;
  std::vector<un::Notification> delivered;
};

namespace {

void arm(const std::shared_ptr<ReminderDelivery::State>& state) {
  if (state->timer) {
    state->timer->cancel();
    state->timer.reset();
  }
  auto center = un::UserNotificationCenter::currentNotificationCenter();
  center->flush();  // what the app asked for so far counts
  auto date = center->nextDeliveryDate();
  if (!date) return;
  state->timer = dispatch::TimerSource::create(dispatch::Queue::main());
  std::weak_ptr<ReminderDelivery::State> weak = state;
  state->timer->setEventHandler([weak] {
    auto due = ReminderDelivery::deliverDue();
    if (auto s = weak.lock()) s->delivered.insert(s->delivered.end(), due.begin(), due.end());
    // Set for the next one once this handler has returned: arming replaces
    // the timer that runs it.
    dispatch::Queue::main()->async([weak] {
      if (auto s = weak.lock()) arm(s);
    });
  });
  state->timer->setWallTimer(*date, dispatch::TimerSource::kOneShot);
  state->timer->resume();
}

}  // namespace

ReminderDelivery::ReminderDelivery() : state_(std::make_shared<State>()) {}

ReminderDelivery::~ReminderDelivery() {
  if (state_->timer) state_->timer->cancel();
}

void ReminderDelivery::arm() { quillbox::arm(state_); }

std::vector<un::Notification> ReminderDelivery::deliverDue() {
  auto center = un::UserNotificationCenter::currentNotificationCenter();
  center->flush();
  bool front = ui::Application::shared().applicationState() == ui::ApplicationState::Active;
  return center->deliverDueNotifications(front);
}

std::vector<un::Notification> ReminderDelivery::takeDelivered() {
  std::vector<un::Notification> out;
  out.swap(state_->delivered);
  return out;
}

}  // namespace quillbox
