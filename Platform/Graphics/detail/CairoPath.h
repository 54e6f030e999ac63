// Replays a cg::Path into a cairo context's current path.
#pragma once

#include <cairo.h>

#include "Platform/Graphics/Path.h"

namespace cg::detail {

void appendPath(cairo_t* cr, const Path& path);

}  // namespace cg::detail
