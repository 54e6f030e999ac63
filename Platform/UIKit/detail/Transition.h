// Runs the end of a transition: after `duration` on the main run loop's
// clock when animated (and animations are enabled), else at once.
#pragma once

#include <functional>

namespace ui::detail {

void afterTransition(bool animated, double duration, std::function<void()> finish);

}  // namespace ui::detail
