// Draws a tree of views as the platform composites it, for screen pictures
// (ScreenPicture.h). Each view is drawn in its superview's coordinates:
// moved to its centre and turned by its transform; behind it its layer's
// shadow; then its background (rounded by the layer's corner radius), its
// own content (View::drawRect), its subviews in order, all clipped to its
// bounds when it clips; then its border. A view with alpha below 1 or a
// shadow is composed as one layer, its subviews with it. Hidden and fully
// transparent views draw nothing, nor do their subviews. Each view is laid
// out (layoutIfNeeded) before it is drawn, as the platform lays out before
// it displays. Main thread.
#pragma once

#include <string>

#include "Platform/Graphics/ImageContext.h"
#include "Platform/UIKit/View.h"

namespace ui {

// `context`'s user space is the superview's coordinates.
void drawViewHierarchy(cg::ImageContext& context, View& view);
// The view with its bounds placed at `origin` of `context`'s user space
// (a view the platform places outside any tree: a bar button's own view).
void drawViewHierarchy(cg::ImageContext& context, View& view, Point origin);

// An outline of `rect` with `label` inside: how a view the host cannot
// draw faithfully shows in a picture.
void drawLabelledOutline(cg::ImageContext& context, const Rect& rect, const std::string& label);

}  // namespace ui
