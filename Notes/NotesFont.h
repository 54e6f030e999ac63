// Font operations of the notes code (the font category of Quillbox and
// Jotshare): a font of the same family and size with bold or italic.
#pragma once

#include <cstdint>
#include <memory>

#include "Platform/UIKit/Font.h"

namespace NotesFont {

// A font of `font`'s family and point size with the bold (2) and italic (1)
// bits of `traits` (other bits are ignored); null when the family has no
// face with all requested bits. No bits gives the family's regular font.
std::shared_ptr<const ui::Font> fontWithTraits(const ui::Font& font, uint32_t traits);

}  // namespace NotesFont
