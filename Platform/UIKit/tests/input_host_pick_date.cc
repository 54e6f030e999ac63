// A person turns a date picker's wheels: to the nearest of its steps, never
// beyond its limits, and the screen writes the date as the device does.
#include <gtest/gtest.h>

#include <cmath>

#include "Platform/UIKit/DatePicker.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

class InputHostPickDateTest : public testing::InterfaceTest {};

TEST_F(InputHostPickDateTest, PicksTheNearestStepWithinTheLimits) {
  auto page = std::make_shared<ViewController>();
  auto picker = std::make_shared<DatePicker>();
  int changes = 0;
  picker->addTarget(this, [&](Control&) { ++changes; }, kControlEventValueChanged);
  picker->setMinuteInterval(5);
  // The next whole hour of the test clock.
  const double now = std::ceil(ns::Date::now().timeIntervalSinceReferenceDate() / 3600) * 3600;
  picker->setMinimumDate(ns::Date(now));
  picker->setMaximumDate(ns::Date(now + 86400));
  page->view()->addSubview(picker);
  show(page);

  struct Case {
    double offset;       // from that hour, in seconds
    bool picked;
    double pickedOffset;
  };
  const Case cases[] = {
      {7200, true, 7200},
      {7200 + 170, true, 7200 + 300},   // 2 min 50 s: the nearest 5-minute step up
      {7200 + 100, true, 7200},         // 1 min 40 s: down
      {-3600, false, 0},                // before the earliest
      {86400 + 3600, false, 0},         // after the latest
  };
  for (const auto& c : cases) {
    int before = changes;
    auto picked = Input::pickDate(ns::Date(now + c.offset));
    ASSERT_EQ(picked.has_value(), c.picked) << c.offset << ": " << Input::lastFailure();
    EXPECT_EQ(changes - before, c.picked ? 1 : 0) << c.offset;
    if (c.picked) EXPECT_EQ(picker->date().timeIntervalSinceReferenceDate(), now + c.pickedOffset) << c.offset;
  }
  EXPECT_NE(ScreenText::renderForPerson().find("Date picker: "), std::string::npos) << ScreenText::renderForPerson();
  picker->setEnabled(false);
  EXPECT_FALSE(Input::pickDate(ns::Date(now + 7200)).has_value());
}

}  // namespace
}  // namespace ui
