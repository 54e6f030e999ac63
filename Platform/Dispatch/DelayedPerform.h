// Delayed performs on the main run loop, filed under a target and a name so
// that pending ones can be cancelled: the platform's "perform after a delay"
// and "cancel previous perform requests".
#pragma once

#include <functional>
#include <string_view>

namespace dispatch {

// Runs `block` on the main run loop `delaySeconds` from now (ns::Clock time).
// `target` (an address), `selector` and `argument` (an address or null)
// identify the request for cancellation.
void performAfterDelay(const void* target, std::string_view selector, const void* argument,
                       double delaySeconds, std::function<void()> block);

// Cancels every pending request of `target`.
void cancelPreviousPerformRequests(const void* target);
// Cancels the pending requests of `target` with this selector and argument.
void cancelPreviousPerformRequests(const void* target, std::string_view selector,
                                   const void* argument);

}  // namespace dispatch
