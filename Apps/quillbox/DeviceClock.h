// The device's clock across launches. The host program runs on a virtual
// clock that actions move ahead of real time (`advance`, the input layer's
// settling), so starting each launch from real time would turn it back:
// dates the app stored (the last backup, note dates, delivered reminders)
// would lie in the future. Like a device's, this clock never goes back: its
// lead over real time, and the last time it showed, are kept in
// "clock.plist" in the device directory, and a launch starts at the later
// of real time plus that lead and the last time shown.
#pragma once

#include <string>

#include "Platform/Foundation/Date.h"

namespace quillbox {

class DeviceClock {
 public:
  // Switches to a virtual clock standing where this device's clock stands.
  static void start(const std::string& deviceDirectory);
  // Records where the clock stands now (cheap: no flush to disk).
  static void save(const std::string& deviceDirectory);

  // Where a device's clock starts, given real time and what was saved.
  static ns::Date startingTime(ns::Date realNow, const std::string& deviceDirectory);
  static std::string path(const std::string& deviceDirectory);  // <device>/clock.plist
};

}  // namespace quillbox
