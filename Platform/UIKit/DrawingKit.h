// Small pieces the kinds of views draw with, so that each drawRect stays
// short and the system's look stays in one place: filling with a colour
// (a pattern colour tiles its image from the picture's origin), one line of
// text in a rectangle, and the platform's glyphs (chevrons, plus, check
// mark, the editing controls).
#pragma once

#include <string>

#include "Platform/Graphics/ImageContext.h"
#include "Platform/Graphics/Path.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/Geometry.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/ParagraphStyle.h"

namespace ui::drawing {

// The context View::drawRect draws into; throws ns::Exception when none is
// current (a drawRect called outside drawing).
cg::ImageContext& current();

void fill(cg::ImageContext& context, const Color& color, const cg::Path& path);
void fill(cg::ImageContext& context, const Color& color, const Rect& rect);
// A line `width` points wide along the inside of `rect`'s bottom edge.
void hairline(cg::ImageContext& context, const Color& color, const Rect& rect, double width);

// One line of text in `rect`, centred vertically, truncated at the tail
// when it does not fit. The width it takes.
double drawLine(cg::ImageContext& context, const std::string& text, const Font& font, const Color& color,
                const Rect& rect, TextAlignment alignment = TextAlignment::Left);
Size lineSize(const std::string& text, const Font& font);

// The image filling `rect`, a template in `tint`.
void drawImage(cg::ImageContext& context, const Image& image, const Rect& rect, const Color& tint);

// Glyphs, centred on `center`, `size` points high.
void chevron(cg::ImageContext& context, Point center, double size, const Color& color, bool pointsLeft);
void plus(cg::ImageContext& context, Point center, double size, double thickness, const Color& color);
void checkmark(cg::ImageContext& context, Point center, double size, const Color& color);
// A filled circle with a white minus (delete) or plus (insert).
void editingControl(cg::ImageContext& context, Point center, bool insert);
// Three short lines: a row's reorder control.
void reorderControl(cg::ImageContext& context, Point center);
// A grey circle with a white cross: a text field's clear button.
void clearButton(cg::ImageContext& context, Point center);
// A magnifying glass.
void magnifier(cg::ImageContext& context, Point center, double size, const Color& color);

}  // namespace ui::drawing
