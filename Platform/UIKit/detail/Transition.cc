#include "Platform/UIKit/detail/Transition.h"

#include "Platform/Dispatch/Timer.h"
#include "Platform/UIKit/View.h"

namespace ui::detail {

void afterTransition(bool animated, double duration, std::function<void()> finish) {
  if (!animated || !View::areAnimationsEnabled() || duration <= 0) {
    finish();
    return;
  }
  dispatch::Timer::scheduled(duration, false, [finish = std::move(finish)](dispatch::Timer&) { finish(); });
}

}  // namespace ui::detail
