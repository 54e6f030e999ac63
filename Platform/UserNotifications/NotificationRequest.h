// Local notifications as values: what a notification shows (content), when
// it fires (a calendar trigger), the request that pairs them under an
// identifier, a delivered notification and the user's response to it.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Calendar.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/DateComponents.h"
#include "Platform/Foundation/Value.h"

namespace un {

// Interruption levels; time-sensitive (2) breaks through focus modes.
enum class InterruptionLevel { Passive = 0, Active = 1, TimeSensitive = 2, Critical = 3 };

struct NotificationContent {
  std::string title;
  std::string body;
  bool defaultSound = false;
  InterruptionLevel interruptionLevel = InterruptionLevel::Active;
  ns::Dictionary userInfo;
};

// Fires when the calendar's fields match the components (fields not set
// match anything). Non-repeating triggers fire once.
struct CalendarNotificationTrigger {
  ns::DateComponents dateComponents;
  bool repeats = false;

  // The first date at or after `after` matching the components, for the
  // fully specified components the notes code uses; absent otherwise.
  std::optional<ns::Date> nextTriggerDate(ns::Date after = ns::Date::now()) const;
};

struct NotificationRequest {
  std::string identifier;
  NotificationContent content;
  std::optional<CalendarNotificationTrigger> trigger;  // none: deliver at once
};

struct Notification {
  ns::Date date;
  NotificationRequest request;
};

inline constexpr const char* kDefaultActionIdentifier = "UNNotificationDefaultActionIdentifier";
inline constexpr const char* kDismissActionIdentifier = "UNNotificationDismissActionIdentifier";

struct NotificationResponse {
  Notification notification;
  std::string actionIdentifier = kDefaultActionIdentifier;
};

// Presentation options a delegate answers for a notification that arrives
// while the app is in front.
enum PresentationOptions : unsigned { kPresentationBadge = 1, kPresentationSound = 2, kPresentationAlert = 4 };

// Authorization as the platform reports it.
enum class AuthorizationStatus { NotDetermined = 0, Denied = 1, Authorized = 2 };

struct NotificationSettings {
  AuthorizationStatus authorizationStatus = AuthorizationStatus::NotDetermined;
};

}  // namespace un
