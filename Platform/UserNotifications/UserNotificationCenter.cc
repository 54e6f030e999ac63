#include "Platform/UserNotifications/UserNotificationCenter.h"

#include <algorithm>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/PropertyList.h"

namespace un {
namespace {

constexpr const char* kFileName = "notifications.plist";
constexpr const char* kErrorDomain = "UNErrorDomain";
constexpr int64_t kNotificationsNotAllowed = 1;
constexpr int64_t kNotificationInvalidNoDate = 1401;

const std::pair<const char*, ns::CalendarUnit> kFields[] = {
    {"year", ns::kCalendarUnitYear},     {"month", ns::kCalendarUnitMonth},   {"day", ns::kCalendarUnitDay},
    {"hour", ns::kCalendarUnitHour},     {"minute", ns::kCalendarUnitMinute}, {"second", ns::kCalendarUnitSecond},
};

ns::Value encodeRequest(const NotificationRequest& r) {
  ns::Dictionary content{{"title", ns::Value(r.content.title)},
                         {"body", ns::Value(r.content.body)},
                         {"sound", ns::Value(r.content.defaultSound)},
                         {"interruptionLevel", ns::Value(static_cast<int>(r.content.interruptionLevel))},
                         {"userInfo", ns::Value(r.content.userInfo)}};
  ns::Dictionary out{{"identifier", ns::Value(r.identifier)}, {"content", ns::Value(std::move(content))}};
  if (r.trigger) {
    ns::Dictionary components;
    for (const auto& [name, unit] : kFields)
      if (auto v = r.trigger->dateComponents.value(unit)) components.set(name, ns::Value(static_cast<long long>(*v)));
    out.set("trigger", ns::Value(ns::Dictionary{{"repeats", ns::Value(r.trigger->repeats)},
                                                {"components", ns::Value(std::move(components))}}));
  }
  return ns::Value(std::move(out));
}

std::optional<NotificationRequest> decodeRequest(const ns::Value& v) {
  if (!v.isDictionary()) return std::nullopt;
  NotificationRequest r;
  if (const ns::Value* id = v.find("identifier")) r.identifier = id->stringValue();
  if (const ns::Value* c = v.find("content")) {
    if (const ns::Value* x = c->find("title")) r.content.title = x->stringValue();
    if (const ns::Value* x = c->find("body")) r.content.body = x->stringValue();
    if (const ns::Value* x = c->find("sound")) r.content.defaultSound = x->boolValue();
    if (const ns::Value* x = c->find("interruptionLevel"))
      r.content.interruptionLevel = static_cast<InterruptionLevel>(std::clamp<int64_t>(x->integerValue(), 0, 3));
    if (const ns::Value* x = c->find("userInfo"); x && x->isDictionary()) r.content.userInfo = *x->asDictionary();
  }
  if (const ns::Value* t = v.find("trigger"); t && t->isDictionary()) {
    CalendarNotificationTrigger trigger;
    if (const ns::Value* x = t->find("repeats")) trigger.repeats = x->boolValue();
    if (const ns::Value* c = t->find("components"))
      for (const auto& [name, unit] : kFields)
        if (const ns::Value* x = c->find(name)) trigger.dateComponents.setValue(unit, x->integerValue());
    r.trigger = trigger;
  }
  return r;
}

ns::Date fireDate(const NotificationRequest& r) {
  if (!r.trigger) return ns::Date::distantPast();
  return r.trigger->nextTriggerDate(ns::Date::distantPast()).value_or(ns::Date::distantFuture());
}

}  // namespace

std::optional<ns::Date> CalendarNotificationTrigger::nextTriggerDate(ns::Date after) const {
  // Only fully given dates are supported: that is all the notes code asks.
  const auto& c = dateComponents;
  if (!c.year || !c.month || !c.day || !c.hour || !c.minute) return std::nullopt;
  auto date = ns::Calendar::current().dateFromComponents(c);
  if (!date || *date < after) return std::nullopt;
  return date;
}

std::shared_ptr<UserNotificationCenter> UserNotificationCenter::currentNotificationCenter() {
  static std::mutex mutex;
  static std::shared_ptr<UserNotificationCenter> current;
  std::string path = ns::Device::current().directory() + "/" + kFileName;
  std::lock_guard lock(mutex);
  if (!current || current->path_ != path) current = std::make_shared<UserNotificationCenter>(path);
  return current;
}

UserNotificationCenter::UserNotificationCenter(std::string path)
    : path_(std::move(path)), queue_(dispatch::Queue::serial("quillbox.usernotifications")) {
  load();
}

void UserNotificationCenter::load() {
  auto root = ns::readPropertyListFile(path_, nullptr);
  if (!root || !root->isDictionary()) return;
  if (const ns::Value* s = root->find("authorizationStatus"))
    status_ = static_cast<AuthorizationStatus>(std::clamp<int64_t>(s->integerValue(), 0, 2));
  if (const ns::Value* p = root->find("pending"); p && p->isArray())
    for (const auto& v : *p->asArray())
      if (auto r = decodeRequest(v)) pending_.push_back(std::move(*r));
  if (const ns::Value* d = root->find("delivered"); d && d->isArray())
    for (const auto& v : *d->asArray()) {
      const ns::Value* date = v.find("date");
      const ns::Value* request = v.find("request");
      if (!date || !date->isDate() || !request) continue;
      if (auto r = decodeRequest(*request)) delivered_.push_back(Notification{*date->asDate(), std::move(*r)});
    }
}

void UserNotificationCenter::persistLocked() {
  ns::Array pending, delivered;
  for (const auto& r : pending_) pending.push_back(encodeRequest(r));
  for (const auto& n : delivered_)
    delivered.push_back(ns::Value(ns::Dictionary{{"date", ns::Value(n.date)}, {"request", encodeRequest(n.request)}}));
  ns::Dictionary root{{"authorizationStatus", ns::Value(static_cast<int>(status_))},
                      {"pending", ns::Value(std::move(pending))},
                      {"delivered", ns::Value(std::move(delivered))}};
  ns::writePropertyListFile(ns::Value(std::move(root)), path_, ns::PropertyListFormat::XML, nullptr);
}

void UserNotificationCenter::setDelegate(const std::shared_ptr<NotificationCenterDelegate>& delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = delegate;
}

std::shared_ptr<NotificationCenterDelegate> UserNotificationCenter::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

void UserNotificationCenter::getNotificationSettings(std::function<void(NotificationSettings)> completionHandler) {
  if (!completionHandler) return;
  NotificationSettings settings{authorizationStatus()};
  queue_->async([settings, completionHandler] { completionHandler(settings); });
}

void UserNotificationCenter::requestAuthorization(std::function<void(bool, const ns::Error*)> completionHandler) {
  bool granted;
  {
    std::lock_guard lock(mutex_);
    if (status_ == AuthorizationStatus::NotDetermined) {
      status_ = AuthorizationStatus::Authorized;
      persistLocked();
    }
    granted = status_ == AuthorizationStatus::Authorized;
  }
  if (completionHandler) queue_->async([granted, completionHandler] { completionHandler(granted, nullptr); });
}

void UserNotificationCenter::setAuthorizationStatus(AuthorizationStatus status) {
  std::lock_guard lock(mutex_);
  status_ = status;
  persistLocked();
}

AuthorizationStatus UserNotificationCenter::authorizationStatus() const {
  std::lock_guard lock(mutex_);
  return status_;
}

void UserNotificationCenter::addNotificationRequest(const NotificationRequest& request,
                                                    std::function<void(const ns::Error*)> completionHandler) {
  std::optional<ns::Error> error;
  {
    std::lock_guard lock(mutex_);
    if (status_ != AuthorizationStatus::Authorized) {
      error = ns::Error::withDescription(kErrorDomain, kNotificationsNotAllowed, "Notifications are not allowed");
    } else if (request.trigger && !request.trigger->nextTriggerDate(ns::Date::distantPast())) {
      error = ns::Error::withDescription(kErrorDomain, kNotificationInvalidNoDate, "The trigger never fires");
    } else {
      std::erase_if(pending_, [&](const NotificationRequest& r) { return r.identifier == request.identifier; });
      pending_.push_back(request);
      persistLocked();
    }
  }
  if (completionHandler)
    queue_->async([error, completionHandler] { completionHandler(error ? &*error : nullptr); });
}

void UserNotificationCenter::getPendingNotificationRequests(
    std::function<void(std::vector<NotificationRequest>)> completionHandler) {
  if (!completionHandler) return;
  // The list is taken when the answer runs, so answers see each other's
  // changes in the order they were asked for.
  queue_->async([this, completionHandler] { completionHandler(pendingRequests()); });
}

void UserNotificationCenter::removePendingNotificationRequests(const std::vector<std::string>& identifiers) {
  std::lock_guard lock(mutex_);
  std::erase_if(pending_, [&](const NotificationRequest& r) {
    return std::find(identifiers.begin(), identifiers.end(), r.identifier) != identifiers.end();
  });
  persistLocked();
}

void UserNotificationCenter::removeAllPendingNotificationRequests() {
  std::lock_guard lock(mutex_);
  pending_.clear();
  persistLocked();
}

void UserNotificationCenter::getDeliveredNotifications(std::function<void(std::vector<Notification>)> completionHandler) {
  if (!completionHandler) return;
  queue_->async([this, completionHandler] { completionHandler(deliveredNotifications()); });
}

void UserNotificationCenter::removeAllDeliveredNotifications() {
  std::lock_guard lock(mutex_);
  delivered_.clear();
  persistLocked();
}

std::vector<NotificationRequest> UserNotificationCenter::pendingRequests() const {
  std::lock_guard lock(mutex_);
  return pending_;
}

std::vector<Notification> UserNotificationCenter::deliveredNotifications() const {
  std::lock_guard lock(mutex_);
  return delivered_;
}

std::optional<ns::Date> UserNotificationCenter::nextDeliveryDate() const {
  std::lock_guard lock(mutex_);
  std::optional<ns::Date> next;
  for (const auto& r : pending_) {
    ns::Date when = fireDate(r);
    if (!next || when < *next) next = when;
  }
  return next;
}

std::vector<Notification> UserNotificationCenter::deliverDueNotifications(bool appInForeground) {
  std::vector<Notification> due;
  std::shared_ptr<NotificationCenterDelegate> delegate;
  {
    std::lock_guard lock(mutex_);
    ns::Date now = ns::Date::now();
    std::vector<NotificationRequest> keep;
    for (const auto& r : pending_) {
      ns::Date when = fireDate(r);
      if (when <= now) due.push_back(Notification{when, r});
      else keep.push_back(r);
    }
    if (due.empty()) return due;
    pending_ = std::move(keep);
    std::stable_sort(due.begin(), due.end(), [](const Notification& a, const Notification& b) { return a.date < b.date; });
    delivered_.insert(delivered_.end(), due.begin(), due.end());
    persistLocked();
    delegate = delegate_.lock();
  }
  if (appInForeground && delegate)
    for (const auto& n : due)
      delegate->willPresentNotification(*this, n, [this, id = n.request.identifier](unsigned options) {
        std::lock_guard lock(mutex_);
        presented_.emplace_back(id, options);
      });
  return due;
}

void UserNotificationCenter::openNotification(const Notification& notification, std::function<void()> completion) {
  std::shared_ptr<NotificationCenterDelegate> delegate;
  {
    std::lock_guard lock(mutex_);
    std::erase_if(delivered_, [&](const Notification& n) { return n.request.identifier == notification.request.identifier; });
    persistLocked();
    delegate = delegate_.lock();
  }
  auto done = [completion] { if (completion) completion(); };
  if (delegate) delegate->didReceiveNotificationResponse(*this, NotificationResponse{notification}, done);
  else done();
}

unsigned UserNotificationCenter::presentationOptions(const std::string& identifier) const {
  std::lock_guard lock(mutex_);
  for (auto it = presented_.rbegin(); it != presented_.rend(); ++it)
    if (it->first == identifier) return it->second;
  return 0;
}

void UserNotificationCenter::flush() {
  queue_->sync([] {});
}

}  // namespace un
