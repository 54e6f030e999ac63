// Rectangles, points and sizes inside notification user info: a dictionary
// {"x", "y", "width", "height"} of reals.
#pragma once

#include "Platform/Foundation/Value.h"
#include "Platform/UIKit/Geometry.h"

namespace ui {

ns::Value valueWithRect(const Rect& r);
// A zero rectangle for anything that is not such a dictionary.
Rect rectValue(const ns::Value* value);

}  // namespace ui
