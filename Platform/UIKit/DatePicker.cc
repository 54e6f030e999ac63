#include "Platform/UIKit/DatePicker.h"

#include <algorithm>
#include <cstdio>

#include "Platform/Foundation/Clock.h"

namespace ui {

DatePicker::DatePicker() : Control(Rect(0, 0, 320, 216)), date_(ns::Clock::now()) {}

void DatePicker::setDate(ns::Date date, bool) {
  if (minimum_ && date.timeIntervalSince(*minimum_) < 0) date = *minimum_;
  if (maximum_ && date.timeIntervalSince(*maximum_) > 0) date = *maximum_;
  date_ = date;
}

void DatePicker::setMinimumDate(std::optional<ns::Date> d) {
  minimum_ = d;
  setDate(date_);
}

void DatePicker::setMaximumDate(std::optional<ns::Date> d) {
  maximum_ = d;
  setDate(date_);
}

void DatePicker::pick(ns::Date date) {
  if (!isEnabled()) return;
  setDate(date);
  sendActionsForControlEvents(kControlEventValueChanged);
}

std::string DatePicker::screenText() const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "DatePicker[%.0f]", date_.timeIntervalSinceReferenceDate());
  return buf;
}

double DatePicker::wheelStep() const {
  return mode_ == DatePickerMode::Date ? 86400 : 60.0 * std::max(1, minuteInterval_);
}

}  // namespace ui
