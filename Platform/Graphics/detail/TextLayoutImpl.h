// The pango layout behind a cg::TextLayout, for the image context to draw.
#pragma once

#include <pango/pangocairo.h>

#include <vector>

#include "Platform/Graphics/TextLayout.h"

namespace cg {

struct TextLayout::Impl {
  PangoLayout* layout = nullptr;
  std::vector<int> inlineBoxStarts;  // byte index of each inline box's character
};

}  // namespace cg
