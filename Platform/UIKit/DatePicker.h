// A date picker: a date within optional bounds, a mode, a minute interval,
// a locale and time zone; a person picking a date sends value-changed.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Date.h"
#include "Platform/UIKit/Control.h"

namespace ui {

enum class DatePickerMode { Time = 0, Date = 1, DateAndTime = 2, CountDownTimer = 3 };

class DatePicker : public Control {
 public:
  DatePicker();
  std::string typeName() const override { return "DatePicker"; }
  ns::Date date() const { return date_; }
  // Clamped to the bounds.
  void setDate(ns::Date date, bool animated = false);
  DatePickerMode mode() const { return mode_; }
  void setMode(DatePickerMode m) { mode_ = m; }
  std::optional<ns::Date> minimumDate() const { return minimum_; }
  void setMinimumDate(std::optional<ns::Date> d);
  std::optional<ns::Date> maximumDate() const { return maximum_; }
  void setMaximumDate(std::optional<ns::Date> d);
  int minuteInterval() const { return minuteInterval_; }
  void setMinuteInterval(int m) { minuteInterval_ = m; }
  const std::string& localeIdentifier() const { return locale_; }
  void setLocaleIdentifier(std::string l) { locale_ = std::move(l); }
  const std::string& timeZoneName() const { return timeZone_; }
  void setTimeZoneName(std::string z) { timeZone_ = std::move(z); }
  // A person picks `date`.
  void pick(ns::Date date);
  // The wheel as drawn: rows of kWheelRowHeight points, the picked date in
  // the middle one and each row `wheelStep()` seconds from the next (the
  // minute interval; a day when only dates are picked).
  static constexpr double kWheelRowHeight = 34;
  double wheelStep() const;
  std::string screenText() const override;
  void drawRect(const Rect& rect) override;

 private:
  ns::Date date_;
  DatePickerMode mode_ = DatePickerMode::DateAndTime;
  std::optional<ns::Date> minimum_, maximum_;
  int minuteInterval_ = 1;
  std::string locale_, timeZone_;
};

}  // namespace ui
