// How big the window is: the screen's pixels (points times scale), or
// smaller to fit the desktop, and never out of the screen's aspect when a
// person resizes it. Pure arithmetic, in window pixels.
#pragma once

namespace display {

struct PixelSize {
  int width = 0;
  int height = 0;
  bool operator==(const PixelSize&) const = default;
};

// The screen's size at its scale, shrunk (aspect kept) to fit `room` when
// larger; at least one pixel each way.
PixelSize fittedSize(PixelSize screen, PixelSize room);

// The size with the screen's aspect nearest to what a resize made of the
// window (`from` before, `to` after): the side the person moved more
// leads, the other follows.
PixelSize aspectKept(PixelSize screen, PixelSize from, PixelSize to);

}  // namespace display
